#include "cli/job_operand.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.hpp"

namespace metclust::cli {
namespace {

TEST(JobOperand, AnyOfTheJobsFilesStandsForTheJob) {
  struct Case {
    const char* operand;
    const char* job;
  };
  const Case cases[] = {
      {"TRIAL", "TRIAL"},           {"TRIAL.EMA", "TRIAL"},     {"d/TRIAL.ema", "d/TRIAL"},
      {"TRIAL.Naq", "TRIAL"},       {"TRIAL.scl", "TRIAL"},     {"TRIAL.CLS", "TRIAL"},
      {"TRIAL.pcl", "TRIAL"},       {"TRIAL.EMA.EMA", "TRIAL.EMA"},  // one extension only
      {"TRIAL.csv", "TRIAL.csv"},   {"1990.2", "1990.2"},       {"-odd", "-odd"},
  };
  for (const Case& c : cases) EXPECT_EQ(job_name(c.operand), c.job) << c.operand;
}

TEST(JobOperand, NoJobOneJobOrTooMany) {
  for (const char* bad : {"", "dir/", ".EMA", "d/.pcl"}) {
    try {
      job_name(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const UsageError& error) {
      EXPECT_EQ(std::string(error.what()), "'" + std::string(bad) + "' names no job");
    }
  }
  EXPECT_EQ(single_job(std::vector<std::string>{"J.CLS"}), "J");
  const auto message = [](const std::vector<std::string>& operands) {
    try {
      single_job(operands);
    } catch (const UsageError& error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message({}), "no job given");
  EXPECT_EQ(message({"A", "B"}), "more than one job given: 'B'");
}

}  // namespace
}  // namespace metclust::cli
