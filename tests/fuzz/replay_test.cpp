// The fuzz targets' entry points under the ordinary build: every seed of the
// table in fuzz/targets.hpp (made from the fixture jobs and the sample job, as
// fuzz/run.sh makes the corpora) and every input a fuzzer once found a fault
// with (fuzz/regressions/<target>/) is replayed, and the rules the entry
// points hold a run to are shown to catch a broken run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/programs.hpp"
#include "support/scratch_folder.hpp"
#include "targets.hpp"

namespace metclust::fuzz {
namespace {

namespace fs = std::filesystem;

const std::vector<SeedJob>& jobs() {
  static const std::vector<SeedJob> all = seed_jobs(METCLUST_SOURCE_DIR);
  return all;
}

// One replay: the seeds one job makes for a target (job >= 0), the target's
// own seeds (job -1), or one input found by a fuzzer (file).
struct Replay {
  const Target* target = nullptr;
  std::ptrdiff_t job = -1;
  fs::path file;
};

std::vector<Replay> replays() {
  std::vector<Replay> all;
  for (const Target& target : targets()) {
    for (std::size_t k = 0; k < jobs().size(); ++k) {
      if (!target.job_seeds(jobs()[k]).empty()) all.push_back({&target, static_cast<std::ptrdiff_t>(k), {}});
    }
    if (!target.own_seeds().empty()) all.push_back({&target, -1, {}});
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(testing::fuzz_regressions_folder() / target.name, ec)) {
      if (entry.is_regular_file()) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    for (const fs::path& file : found) all.push_back({&target, -1, file});
  }
  return all;
}

std::string name_of(const Replay& replay) {
  std::string name(replay.target->name);
  if (!replay.file.empty()) {
    name += "_found_" + replay.file.filename().string();
  } else {
    name += "_seed_" + (replay.job < 0 ? std::string("own") : jobs()[static_cast<std::size_t>(replay.job)].name);
  }
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

void PrintTo(const Replay& replay, std::ostream* out) { *out << name_of(replay); }

class FuzzReplay : public ::testing::TestWithParam<Replay> {};

TEST_P(FuzzReplay, KeepsTheRules) {
  const Replay& replay = GetParam();
  const Workspace space;
  if (!replay.file.empty()) {
    EXPECT_EQ(replay.target->entry(bytes_of(testing::read_bytes(replay.file)), space), "") << replay.file;
    return;
  }
  const std::vector<Bytes> seeds = replay.job < 0 ? replay.target->own_seeds()
                                                  : replay.target->job_seeds(jobs()[static_cast<std::size_t>(replay.job)]);
  for (std::size_t k = 0; k < seeds.size(); ++k) {
    EXPECT_EQ(replay.target->entry(seeds[k], space), "") << "seed " << k + 1 << " of " << seeds.size();
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzReplay, ::testing::ValuesIn(replays()),
                         [](const ::testing::TestParamInfo<Replay>& info) { return name_of(info.param); });

TEST(FuzzTargets, EveryTargetHasSeeds) {
  EXPECT_GT(jobs().size(), 40u);
  for (const Target& target : targets()) {
    std::size_t seeds = target.own_seeds().size();
    for (const SeedJob& job : jobs()) seeds += target.job_seeds(job).size();
    EXPECT_GT(seeds, target.name == "csv_fuzz" ? 4u : 40u) << target.name;
  }
}

// Matrices drawn from a fixed random sequence, rich in ties and in values at
// the edges of the search.
TEST(FuzzTargets, BothPairSearchesAgreeOnDrawnMatrices) {
  std::mt19937 draw(20261210);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> input(2 + draw() % 700);
    for (std::uint8_t& byte : input) byte = static_cast<std::uint8_t>(draw());
    EXPECT_EQ(cluster_both_ways(input), "") << "round " << round;
  }
}

TEST(FuzzTargets, TheRulesCatchABrokenRun) {
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
  ASSERT_EQ(check_job(good), "");

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
    EXPECT_NE(check_job(spoiled), "") << c.what;
  }
}

}  // namespace
}  // namespace metclust::fuzz
