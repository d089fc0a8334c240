#include "metclust/command_line.hpp"

#include <gtest/gtest.h>

#include "cli/command_line.hpp"

#include <string>
#include <vector>

namespace metclust::control {
namespace {

// What a command line makes of its jobs: the five names of each run, in
// channel order, for the given arguments.
TEST(CommandLineNames, InputsWhereTheJobIsOutputsBesideThemOrInTheOutputFolder) {
  struct Case {
    std::vector<std::string> arguments;
    std::string job;  // the job as it is kept
    std::int32_t strategy;
    std::array<std::string, 5> names;
  };
  const Case cases[] = {
      {{"-s", "3", "TRIAL"}, "TRIAL", 3,
       {"TRIAL.EMA", "TRIAL.NAQ", "TRIAL.SCL", "TRIAL.CLS", "TRIAL.PCL"}},
      {{"--strategy=5", "trials/1990.EMA"}, "trials/1990", 5,
       {"trials/1990.EMA", "trials/1990.NAQ", "trials/1990.SCL", "trials/1990.CLS",
        "trials/1990.PCL"}},
      {{"-o", "out", "--strategy", "all", "trials/T"}, "trials/T", 7,
       {"trials/T.EMA", "trials/T.NAQ", "out/T-s7.SCL", "out/T-s7.CLS", "out/T-s7.PCL"}},
      {{"-s8", "-oout/x", "--", "-odd"}, "-odd", 8,
       {"-odd.EMA", "-odd.NAQ", "out/x/-odd.SCL", "out/x/-odd.CLS", "out/x/-odd.PCL"}},
      {{"--output=o", "-s", "1", "trial.ema"}, "trial", 1,
       {"trial.EMA", "trial.NAQ", "o/trial.SCL", "o/trial.CLS", "o/trial.PCL"}},
      {{"-s", "2", "trial.Pcl"}, "trial", 2,
       {"trial.EMA", "trial.NAQ", "trial.SCL", "trial.CLS", "trial.PCL"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    const CommandLine line = parse_command_line(c.arguments);
    ASSERT_EQ(line.jobs, std::vector<std::string>{c.job});
    EXPECT_EQ(command_line_names(line, c.job, c.strategy), c.names);
  }
}

TEST(CommandLineOptions, StrategiesQuietAndSeveralJobs) {
  const std::vector<std::string> every = {"-q", "--strategy", "all", "a", "b"};
  const CommandLine all = parse_command_line(every);
  EXPECT_EQ(all.strategies, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(all.every_strategy);
  EXPECT_TRUE(all.quiet);
  EXPECT_EQ(all.jobs, (std::vector<std::string>{"a", "b"}));
  // The last strategy given counts.
  const std::vector<std::string> twice = {"-s", "all", "-s", "2", "a"};
  const CommandLine one = parse_command_line(twice);
  EXPECT_EQ(one.strategies, std::vector<std::int32_t>{2});
  EXPECT_FALSE(one.every_strategy);
  EXPECT_FALSE(one.quiet);
  // Jobs of one name in two folders write their outputs beside their inputs.
  const std::vector<std::string> apart = {"-s", "1", "a/T", "b/T.EMA"};
  EXPECT_EQ(parse_command_line(apart).jobs, (std::vector<std::string>{"a/T", "b/T"}));
  // Options stand before the jobs: whatever follows the first job is a job.
  const std::vector<std::string> late = {"-s", "1", "a", "-q"};
  EXPECT_EQ(parse_command_line(late).jobs, (std::vector<std::string>{"a", "-q"}));
  EXPECT_FALSE(parse_command_line(late).quiet);
}

TEST(CommandLineOptions, WrongCommandLinesSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"JOB"}, "no strategy given: add --strategy N (1 to 8) or --strategy all"},
      {{"-s", "3"}, "no job given"},
      {{"-s", "3", "-q"}, "no job given"},
      {{"-s", "0", "JOB"}, "strategy '0' is none of 1 to 8 or all"},
      {{"-s", "9", "JOB"}, "strategy '9' is none of 1 to 8 or all"},
      {{"--strategy=3x", "JOB"}, "strategy '3x' is none of 1 to 8 or all"},
      {{"-s", " 3", "JOB"}, "strategy ' 3' is none of 1 to 8 or all"},
      {{"-s", "ALL", "JOB"}, "strategy 'ALL' is none of 1 to 8 or all"},
      {{"JOB", "--strategy", "3"}, "no strategy given: add --strategy N (1 to 8) or --strategy all"},
      {{"--strategy"}, "option '--strategy' needs a value"},
      {{"-s", "3", "-o"}, "option '-o' needs a value"},
      {{"-s", "3", "--output=", "JOB"}, "empty output folder"},
      {{"-s", "3", "--quiet=yes", "JOB"}, "option '--quiet' takes no value"},
      {{"-qs3", "JOB"}, "option '-q' takes no value"},
      {{"-s", "3", "-x", "JOB"}, "unknown option '-x'"},
      {{"-s", "3", "trials/"}, "'trials/' names no job"},
      {{"-s", "3", "trials/.EMA"}, "'trials/.EMA' names no job"},
      // Two jobs whose outputs would carry the same names: the later run
      // would replace the earlier one's results.
      {{"-s", "3", "-o", "results", "a/TRIAL.EMA", "b/TRIAL.EMA"},
       "jobs 'a/TRIAL.EMA' and 'b/TRIAL.EMA' would both write results/TRIAL.SCL, .CLS and .PCL; "
       "run them into different output folders (-o)"},
      {{"-s", "all", "-o", "r", "x", "a/T", "./b/T.pcl"},
       "jobs 'a/T' and './b/T.pcl' would both write r/T-s1.SCL, .CLS and .PCL; run them into "
       "different output folders (-o)"},
      {{"-s", "3", "-o", "r", "b/T", "a/../b/T"}, "'a/../b/T' names the job of 'b/T' again"},
      {{"-s", "3", "T", "T.ema"}, "'T.ema' names the job of 'T' again"},
      {{"-s", "3", "d/T", "d/./T"}, "'d/./T' names the job of 'd/T' again"},
  };
  for (const Case& c : cases) {
    std::string what = "(no error)";
    try {
      parse_command_line(c.arguments);
    } catch (const cli::UsageError& error) {
      what = error.what();
    }
    EXPECT_EQ(what, c.message) << c.arguments.back();
  }
}

}  // namespace
}  // namespace metclust::control
