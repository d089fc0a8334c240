#include "cli/job_command.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/number_text.hpp"

namespace metclust::cli {
namespace {

// What a command line of the job-reading programs comes to: the settings in
// one line ("JOB o=DIR ema=FILE g=K h=H +flag"), or "usage: MESSAGE".
std::string outcome(CutOptions cut, bool ema, std::vector<std::string> words) {
  bool flag = false;
  JobCommand command(cut, ema);
  command.more = [&](const std::string& option, Arguments& walker) {
    if (option != "--flag") return false;
    walker.no_value();
    flag = true;
    return true;
  };
  command.check = [&] {
    if (flag && ema) throw UsageError("--flag refuses --ema programs");
  };
  try {
    const JobSettings settings = parse_job_command(words, command);
    std::string text = settings.job;
    if (settings.output) text += " o=" + *settings.output;
    if (settings.ema) text += " ema=" + *settings.ema;
    if (settings.rule.groups) text += " g=" + records::decimal(*settings.rule.groups);
    if (settings.rule.height) text += " h=" + records::shortest_text(*settings.rule.height);
    if (flag) text += " +flag";
    return text;
  } catch (const UsageError& error) {
    return std::string("usage: ") + error.what();
  }
}

TEST(JobCommand, EachProgramTakesTheSharedOptionsItIsGivenAndItsOwn) {
  using enum CutOptions;
  const struct {
    CutOptions cut;
    bool ema;
    std::vector<std::string> words;
    const char* expected;
  } cases[] = {
      {None, false, {"-o", "out", "--flag", "d/JOB.CLS"}, "d/JOB o=out +flag"},
      {None, false, {"--groups", "3", "JOB"}, "usage: unknown option '--groups'"},
      {None, false, {"--ema", "x.EMA", "JOB"}, "usage: unknown option '--ema'"},
      {GroupsOnly, true, {"-g", "4", "--ema=x.EMA", "JOB"}, "JOB ema=x.EMA g=4"},
      {GroupsOnly, true, {"--height", "2", "JOB"}, "usage: unknown option '--height'"},
      {Optional, false, {"JOB"}, "JOB"},
      {Optional, false, {"--height", "0.5", "JOB"}, "JOB h=0.5"},
      {Optional, false, {"-g", "2", "--height", "1", "JOB"},
       "usage: --groups and --height are two ways to cut; give one"},
      {Required, true, {"JOB"}, "usage: say how to cut the years: --groups K or --height H"},
      {Required, true, {"--groups", "0", "JOB"},
       "usage: --groups takes a whole number of at least 1, not '0'"},
      // The program's own check comes before the operand is looked at.
      {Required, true, {"-g", "2", "--flag"}, "usage: --flag refuses --ema programs"},
      {Required, true, {"-g", "2"}, "usage: no job given"},
      {None, false, {"--bogus", "JOB"}, "usage: unknown option '--bogus'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(outcome(c.cut, c.ema, c.words), c.expected) << testing::PrintToString(c.words);
  }
}

TEST(JobCommand, HelpIsTheUsageTheProgramsOwnTextTheSharedOptionsAndTheExitStatuses) {
  const std::string help = job_help("Usage: p JOB\n", "Own.\nOptions:\n", {kEmaHelp, kOutputHelp});
  EXPECT_EQ(help.find("Usage: p JOB\nOwn.\nOptions:\n      --ema FILE "), 0u) << help;
  EXPECT_LT(help.find("--ema FILE"), help.find("-o, --output DIR"));
  EXPECT_EQ(help.find("--help"), std::string::npos);
  EXPECT_TRUE(help.ends_with("\nExit status: 0 on success, 1 when a file is missing, malformed or cannot\n"
                             "be written (then nothing is written), 2 on a wrong command line.\n"))
      << help;
}

}  // namespace
}  // namespace metclust::cli
