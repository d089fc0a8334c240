// The fuzz targets' entry points under the ordinary build: every input a
// fuzzer once found a fault with is replayed, the fixture jobs are run
// through the whole-job entry point, and the rules the entry points hold a
// run to are shown to catch a broken run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../../fuzz/entry_points.hpp"

namespace {

namespace fs = std::filesystem;
using metclust::fuzz::JobOutcome;
using metclust::fuzz::Workspace;

const fs::path kFixtures{METCLUST_FIXTURES};
const fs::path kRegressions = kFixtures.parent_path().parent_path() / "fuzz" / "regressions";

std::vector<std::uint8_t> read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> files_in(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// One test for each input a fuzz target once failed on, named after its
// folder and file: it must now keep every rule of that target.
std::vector<fs::path> regression_inputs() {
  std::vector<fs::path> inputs;
  for (const char* target : {"reader_fuzz", "run_fuzz", "cluster_fuzz"}) {
    for (const fs::path& input : files_in(kRegressions / target)) inputs.push_back(input);
  }
  return inputs;
}

class FuzzRegression : public ::testing::TestWithParam<fs::path> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzRegression);

TEST_P(FuzzRegression, KeepsTheRules) {
  const fs::path& input = GetParam();
  const std::string target = input.parent_path().filename().string();
  const std::vector<std::uint8_t> bytes = read_bytes(input);
  const Workspace space;
  if (target == "reader_fuzz") {
    EXPECT_EQ(metclust::fuzz::read_records(bytes, space), "");
  } else if (target == "run_fuzz") {
    EXPECT_EQ(metclust::fuzz::run_whole_job(bytes, space), "");
  } else {
    EXPECT_EQ(metclust::fuzz::cluster_both_ways(bytes), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzRegression, ::testing::ValuesIn(regression_inputs()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                           std::string name = info.param.parent_path().filename().string() + "_" +
                                              info.param.filename().string();
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// Each fixture's .EMA file, the fuzzers' seeds, under every strategy answer
// of the menu and one outside it, run twice in one process.
TEST(FuzzRegressions, FixtureJobsKeepTheRulesUnderEveryStrategy) {
  const Workspace space;
  std::size_t jobs = 0;
  for (const auto& entry : fs::directory_iterator(kFixtures)) {
    const fs::path ema = entry.path() / "input" / "JOB.EMA";
    if (!fs::exists(ema)) continue;
    std::vector<std::uint8_t> input = read_bytes(ema);
    input.insert(input.begin(), 0);
    for (std::uint8_t answer = 0; answer <= 9; ++answer) {  // strategies -1 to 8
      input[0] = answer;
      EXPECT_EQ(metclust::fuzz::run_whole_job(input, space), "") << ema << " answer " << int{answer};
    }
    ++jobs;
  }
  EXPECT_GT(jobs, 10u);
}

// Each fixture's .EMA file through the readers, with the statements of a
// job's reads and with each kind of statement alone.
TEST(FuzzRegressions, FixtureStreamsKeepTheReadersRules) {
  const Workspace space;
  const std::vector<std::vector<std::uint8_t>> statements = {
      {8, 050, 002, 003, 004, 010, 030, 005, 015, 025},
      {0, 0370}, {0, 0371}, {0, 0002}, {0, 0003}, {0, 0074}, {0, 0375}, {0, 0156}, {0, 0267},
  };
  std::size_t streams = 0;
  for (const auto& entry : fs::directory_iterator(kFixtures)) {
    const fs::path ema = entry.path() / "input" / "JOB.EMA";
    if (!fs::exists(ema)) continue;
    const std::vector<std::uint8_t> stream = read_bytes(ema);
    for (const std::vector<std::uint8_t>& prefix : statements) {
      std::vector<std::uint8_t> input = prefix;
      input.insert(input.end(), stream.begin(), stream.end());
      EXPECT_EQ(metclust::fuzz::read_records(input, space), "") << ema;
    }
    ++streams;
  }
  EXPECT_GT(streams, 10u);
}

// Matrices drawn from a fixed random sequence, rich in ties and in values at
// the edges of the search.
TEST(FuzzRegressions, BothPairSearchesAgreeOnDrawnMatrices) {
  std::mt19937 draw(20261210);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> input(2 + draw() % 700);
    for (std::uint8_t& byte : input) byte = static_cast<std::uint8_t>(draw());
    EXPECT_EQ(metclust::fuzz::cluster_both_ways(input), "") << "round " << round;
  }
}

TEST(FuzzRegressions, TheRulesCatchABrokenRun) {
  JobOutcome good;
  good.status = 24;
  good.reports =
      "forrtl: error (63): output conversion error, unit 22, file /x/JOB.SCL\r\n"
      "forrtl: severe (24): end-of-file during read, unit 20, file /x/JOB.EMA\r\n";
  good.SCL = " Maximum number of years in data set             (MAXY) = ";
  good.SCL += "     2\r\n    Gpi + Gpj = Gpij     D(ij)\r\n      1 +   2 =   3   0.10000000E+01\r\n";
  good.SCL += " Calculate dendrogram\r\n";
  good.CLS = "     2\r\nT\r\n     W     S     C     N     1\r\n  90  90\r\n  1990    YR1990  \r\n";
  good.CLS += "   2\r\n   0   0\r\n      1 +   2 =   3   0.10000000E+01\r\n";
  good.PCL = " 1990    3 T\r\n";
  ASSERT_EQ(metclust::fuzz::check_job(good), "");

  struct Case {
    const char* what;
    void (*spoil)(JobOutcome&);
  };
  const Case cases[] = {
      {"a status no report has", [](JobOutcome& j) { j.status = 139; }},
      {"a severe report with another number", [](JobOutcome& j) { j.status = 59; }},
      {"an ended run without its report",
       [](JobOutcome& j) { j.reports = "forrtl: error (63): output conversion error, unit 22, file x\r\n"; }},
      {"a report before the severe one",
       [](JobOutcome& j) { j.reports = "forrtl: severe (24): a\r\n" + j.reports; }},
      {"a report without its line end", [](JobOutcome& j) { j.reports.pop_back(); }},
      {"a normal end with a severe report", [](JobOutcome& j) { j.status = 0; }},
      {"an .SCL ending in part of a record", [](JobOutcome& j) { j.SCL += " Cluster"; }},
      {"a .CLS ending in part of a record", [](JobOutcome& j) { j.CLS += "   3"; }},
      {"a .PCL ending in part of a record", [](JobOutcome& j) { j.PCL.pop_back(); }},
      {"an .SCL without the run summary first", [](JobOutcome& j) { j.SCL = "\r\n" + j.SCL; }},
      {"a fusion record missing from .CLS",
       [](JobOutcome& j) { j.CLS.resize(j.CLS.find("      1 +")); }},
      {"fusion records that differ",
       [](JobOutcome& j) { j.SCL.replace(j.SCL.find("0.1000"), 6, "0.2000"); }},
      {"plot data before any dendrogram",
       [](JobOutcome& j) { j.SCL = j.SCL.substr(0, j.SCL.find("\r\n") + 2); }},
  };
  for (const Case& c : cases) {
    JobOutcome spoiled = good;
    c.spoil(spoiled);
    EXPECT_NE(metclust::fuzz::check_job(spoiled), "") << c.what;
  }
}

}  // namespace
