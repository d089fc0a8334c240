// Helpers of the metclust-choose tests: jobs written and run through the
// real metclust program, the programs run on them, and CSV rows read back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/job_files.hpp"

namespace metclust::choose::testing {

namespace fs = std::filesystem;
using metclust::testing::YearInput;
using Outcome = metclust::testing::RunOutcome;

inline fs::path program(const std::string& name) { return fs::path(METCLUST_BINARY).parent_path() / name; }

// Writes JOB.EMA and JOB.NAQ in `folder` and runs metclust on them with
// every strategy (JOB-s1 ... JOB-s8), or with the one strategy given
// (JOB.*).
inline Outcome run_job(const fs::path& folder, const std::vector<YearInput>& years, int strategy = 0) {
  Outcome outcome = metclust::testing::run_job(folder, "CHOOSE TEST", years, strategy == 0 ? 3 : strategy);
  if (outcome.status != 0 || strategy != 0) return outcome;
  for (const char* extension : {".SCL", ".CLS", ".PCL"}) fs::remove(folder / ("JOB" + std::string(extension)));
  return metclust::testing::run_program(metclust::testing::metclust_program(),
                                        {"-q", "--strategy", "all", "JOB"}, folder);
}

inline Outcome choose(const fs::path& folder, const std::vector<std::string>& arguments) {
  return metclust::testing::run_program(program("metclust-choose"), arguments, folder);
}

// The fields of each line of a CSV file without quoted fields, the header
// first.
inline std::vector<std::vector<std::string>> rows(const std::string& csv) {
  std::vector<std::vector<std::string>> out;
  for (const std::string& line : metclust::testing::lines(csv)) {
    if (line.empty()) continue;
    std::vector<std::string> fields(1);
    for (const char c : line) {
      if (c == ',') {
        fields.emplace_back();
      } else {
        fields.back() += c;
      }
    }
    out.push_back(std::move(fields));
  }
  return out;
}

// Locations on a line at the given places, named as given.
inline YearInput on_a_line(int year, std::vector<std::string> names, std::vector<double> places) {
  YearInput input;
  input.year = year;
  input.names = std::move(names);
  input.proximity = [places](std::size_t i, std::size_t j) { return std::fabs(places.at(i) - places.at(j)); };
  return input;
}

}  // namespace metclust::choose::testing
