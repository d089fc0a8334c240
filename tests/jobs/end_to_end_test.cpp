// Whole jobs, run through the built program: each folder of tests/fixtures
// holds the console answers, the job's input files and the exact bytes
// expected on the console, on the error stream, as exit status and in every
// file of the job folder after the run (the runner is support/fixtures.hpp,
// which `make test-windows` runs under Wine as well).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/fixtures.hpp"
#include "support/programs.hpp"

namespace metclust::testing {
namespace {

namespace fs = std::filesystem;

// Runs the fixture job, with the edit when one is given, through the runner
// that every build shares, and reports each difference; the job folder is
// kept when anything differs.
void expect_fixture_run(const std::string& fixture_name, const InputEdit* edit = nullptr) {
  const FixtureRun run = run_fixture(fixtures_folder() / fixture_name, metclust_program(), {}, edit);
  for (const std::string& problem : run.problems) {
    ADD_FAILURE() << problem << "\njob folder of this run: " << run.job_folder.string();
  }
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, RunMatchesExpectedBytes) { expect_fixture_run(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Fixtures, EndToEnd, ::testing::ValuesIn(fixture_names(fixtures_folder())),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// A year whose NL lies outside 1 to MAXL is refused before NL is written
// anywhere, so every such count ends the job of nl_outside (whose second
// year gives 4 with MAXL 3) with the same bytes, NL 0 and below included.
TEST(EndToEndVariants, EveryCountOutsideOneToMaxlEndsTheRunAlike) {
  for (const char* count : {"0", "-1", "-2147483648"}) {
    SCOPED_TRACE(std::string("NL ") + count);
    const InputEdit edit{"JOB.EMA", "YR1991\n4\n", std::string("YR1991\n") + count + "\n"};
    expect_fixture_run("nl_outside", &edit);
  }
}

TEST(EndToEndRunner, FindsTheFixtureFolders) {
  // An empty list would leave the parameterized suite without a single job.
  EXPECT_FALSE(fixture_names(fixtures_folder()).empty()) << "no fixture folders under " << fixtures_folder();
}

TEST(EndToEndRunner, NamesTheFirstDifferingLine) {
  struct Case {
    std::string_view expected;
    std::string_view actual;
    std::string_view shows;  // empty: no difference expected
  };
  const Case cases[] = {
      {"a\r\nb\r\n", "a\r\nb\r\n", ""},
      {"a\r\nb\r\nc\r\n", "a\r\nB\r\nc\r\n", "line 2\n  expected: \"b\\r\"\n  actual:   \"B\\r\""},
      {"a\r\nb\r\n", "a\r\n", "line 2\n  expected: \"b\\r\"\n  actual:   (no more lines)"},
      {"a\r\n", "a\n", "line 1\n  expected: \"a\\r\"\n  actual:   \"a\""},
      {"a\r\n", "a\r", "last line end"},
      {"", "x", "line 1\n  expected: (no more lines)"},
  };
  for (const Case& c : cases) {
    const std::string diff = first_difference(c.expected, c.actual);
    if (c.shows.empty()) {
      EXPECT_EQ("", diff);
    } else {
      EXPECT_NE(std::string::npos, diff.find(c.shows)) << diff;
    }
  }
}

}  // namespace
}  // namespace metclust::testing
