// The metclust-check command: what it prints and the exit status, for a
// clean job, warnings with and without --strict, errors, a missing .NAQ or
// .EMA, and wrong command lines. The job's files are never changed.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "check/check_cli.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::check {
namespace {

const std::string kGood =
    "1 2 0 90 90\r\nTwo sites\r\n     U     S     C     N\r\n  1990    1990\r\n2\r\n1 1\r\n"
    "     1 A          0.00000000E+00\r\n     2 B          0.40000000E+01  0.00000000E+00\r\n";

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = run_check(arguments, out, err);
  return {status, out.str(), err.str()};
}

TEST(CheckCli, StatusAndOutput) {
  testing::ScratchFolder folder;
  const std::string dir = folder.path().string() + "/";
  folder.put("GOOD.EMA", kGood);
  folder.put("GOOD.NAQ", "");
  std::string long_title = kGood;
  long_title.replace(long_title.find("Two sites"), 9, std::string(50, 'T') + "  cut");
  folder.put("WARN.EMA", long_title);
  folder.put("WARN.NAQ", "");
  folder.put("EMPTY.EMA", kGood + "\r\n");
  folder.put("EMPTY.NAQ", "");
  folder.put("LONE.EMA", kGood);
  folder.put("FOLD.EMA", kGood);
  std::filesystem::create_directory(folder.path() / "FOLD.NAQ");

  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{dir + "GOOD"}, 0, dir + "GOOD.EMA: 1 year, 0 errors, 0 warnings\n", ""},
      {{"--strict", dir + "GOOD.EMA"}, 0, dir + "GOOD.EMA: 1 year, 0 errors, 0 warnings\n", ""},
      {{dir + "WARN"}, 0,
       dir + "WARN.EMA:2:53: warning: the title is cut at 50 characters: text from column 51 on is "
             "not read\n" +
           dir + "WARN.EMA: 1 year, 0 errors, 1 warning\n",
       ""},
      {{"--strict", dir + "WARN"}, 1,
       dir + "WARN.EMA:2:53: warning: the title is cut at 50 characters: text from column 51 on is "
             "not read\n" +
           dir + "WARN.EMA: 1 year, 0 errors, 1 warning\n",
       ""},
      // What metclust refuses is an error, with or without --strict.
      {{dir + "EMPTY"}, 1,
       dir + "EMPTY.EMA:9: error: an empty line at the end: metclust reads it as the year record of "
             "year 0 and then ends with report 24 (end-of-file during read) after clustering every "
             "year; remove the empty line\n" +
           dir + "EMPTY.EMA: 1 year, 1 error, 0 warnings\n",
       ""},
      {{dir + "LONE"}, 1,
       dir + "LONE.NAQ: error: no such file: metclust needs it (it never reads it) and ends with report 29\n" +
           dir + "LONE.EMA: 1 year, 1 error, 0 warnings\n",
       ""},
      {{dir + "FOLD"}, 1,
       dir + "FOLD.NAQ: error: a folder has this name: metclust ends with report 30 (open failure)\n" +
           dir + "FOLD.EMA: 1 year, 1 error, 0 warnings\n",
       ""},
      {{dir + "NONE"}, 1, "", "metclust-check: " + dir + "NONE.EMA: no such file\n"},
      {{}, 2, "",
       "metclust-check: no job given\nUsage: metclust-check [OPTION]... JOB\n"
       "Try 'metclust-check --help' for more information.\n"},
      {{"--strict=yes", "GOOD"}, 2, "",
       "metclust-check: option '--strict' takes no value\nUsage: metclust-check [OPTION]... JOB\n"
       "Try 'metclust-check --help' for more information.\n"},
      {{"GOOD", "WARN"}, 2, "",
       "metclust-check: more than one job given: 'WARN'\nUsage: metclust-check [OPTION]... JOB\n"
       "Try 'metclust-check --help' for more information.\n"},
  };
  for (const Case& c : cases) {
    const Outcome r = run(c.arguments);
    const std::string shown = ::testing::PrintToString(c.arguments);
    EXPECT_EQ(r.status, c.status) << shown;
    EXPECT_EQ(r.out, c.out) << shown;
    EXPECT_EQ(r.err, c.err) << shown;
  }
  EXPECT_EQ(folder.take("GOOD.EMA"), kGood);
  EXPECT_FALSE(folder.exists("LONE.NAQ"));
  EXPECT_EQ(run({"--version"}).out, "metclust-check 1.0.0\n");
}

}  // namespace
}  // namespace metclust::check
