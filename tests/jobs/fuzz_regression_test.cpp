// The fuzz targets' entry points under the ordinary build: every input the
// fuzzers start from (made from the fixture jobs, as fuzz/run.sh makes its
// seeds) and every input a fuzzer once found a fault with is replayed, and
// the rules the entry points hold a run to are shown to catch a broken run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "entry_points.hpp"
#include "support/programs.hpp"
#include "support/scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;
using metclust::fuzz::JobOutcome;
using metclust::fuzz::Workspace;

const char* const kTargets[] = {"reader_fuzz", "run_fuzz", "cluster_fuzz"};

std::vector<std::uint8_t> bytes_of(const fs::path& path) {
  const std::string bytes = metclust::testing::read_bytes(path);
  return {bytes.begin(), bytes.end()};
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

// One input replayed through one target. A seed is a fixture job's .EMA
// file, replayed the ways that stand for its seeds: as a whole job under
// every strategy answer, through the readers with the statements of a job's
// reads and with each kind of statement alone, and as the engine's input as
// it is. A found input is replayed as it was found.
struct Replay {
  std::string target;
  fs::path file;
  bool seed = false;
};

std::vector<Replay> replays() {
  std::vector<Replay> all;
  std::vector<fs::path> emas;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(metclust::testing::fixtures_folder(), ec)) {
    for (const fs::path& file : files_in(entry.path() / "input")) {
      if (file.extension() == ".EMA") emas.push_back(file);
    }
  }
  std::sort(emas.begin(), emas.end());
  for (const char* target : kTargets) {
    for (const fs::path& ema : emas) all.push_back({target, ema, true});
  }
  for (const char* target : kTargets) {
    for (const fs::path& input : files_in(metclust::testing::fuzz_regressions_folder() / target)) {
      all.push_back({target, input, false});
    }
  }
  return all;
}

void PrintTo(const Replay& replay, std::ostream* out) {
  *out << replay.target << (replay.seed ? " seed " : " found input ") << replay.file;
}

class FuzzReplay : public ::testing::TestWithParam<Replay> {};

TEST_P(FuzzReplay, KeepsTheRules) {
  const Replay& replay = GetParam();
  const std::vector<std::uint8_t> bytes = bytes_of(replay.file);
  const Workspace space;
  if (!replay.seed) {
    if (replay.target == "reader_fuzz") {
      EXPECT_EQ(metclust::fuzz::read_records(bytes, space), "");
    } else if (replay.target == "run_fuzz") {
      EXPECT_EQ(metclust::fuzz::run_whole_job(bytes, space), "");
    } else {
      EXPECT_EQ(metclust::fuzz::cluster_both_ways(bytes), "");
    }
  } else if (replay.target == "reader_fuzz") {
    const std::vector<std::vector<std::uint8_t>> statements = {
        {8, 050, 002, 003, 004, 010, 030, 005, 015, 025},
        {0, 0370}, {0, 0371}, {0, 0002}, {0, 0003}, {0, 0074}, {0, 0375}, {0, 0156}, {0, 0267},
    };
    for (const std::vector<std::uint8_t>& prefix : statements) {
      std::vector<std::uint8_t> input = prefix;
      input.insert(input.end(), bytes.begin(), bytes.end());
      EXPECT_EQ(metclust::fuzz::read_records(input, space), "") << "statement " << int{prefix[1]};
    }
  } else if (replay.target == "run_fuzz") {
    std::vector<std::uint8_t> input = bytes;
    input.insert(input.begin(), 0);
    for (std::uint8_t answer = 0; answer <= 9; ++answer) {  // strategies -1 to 8
      input[0] = answer;
      EXPECT_EQ(metclust::fuzz::run_whole_job(input, space), "") << "answer byte " << int{answer};
    }
  } else {
    EXPECT_EQ(metclust::fuzz::cluster_both_ways(bytes), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzReplay, ::testing::ValuesIn(replays()),
                         [](const ::testing::TestParamInfo<Replay>& info) {
                           const Replay& replay = info.param;
                           // A seed is named by its fixture, a found input by its file.
                           std::string name = replay.target + (replay.seed ? "_seed_" : "_found_") +
                                              (replay.seed
                                                   ? replay.file.parent_path().parent_path().filename().string()
                                                   : replay.file.filename().string());
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(FuzzRegressions, EveryTargetHasSeedsFromTheFixtureJobs) {
  const std::vector<Replay> all = replays();
  for (const char* target : kTargets) {
    const auto seeds = std::count_if(all.begin(), all.end(), [&](const Replay& r) {
      return r.seed && r.target == target;
    });
    EXPECT_GT(seeds, 10) << target;
  }
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
