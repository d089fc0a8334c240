// The glue of the R and Python packages, here under the sanitizers: the
// sizes it takes, and a finished job read back through the jobs kit with
// and without its .EMA.
// What R and scipy make of its results is tested by the packages' own
// tests (r/tests, python/tests).
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "bindings/hclust.hpp"
#include "bindings/job.hpp"
#include "support/programs.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::bindings {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

TEST(Bindings, PairCountsGiveTheirLocationsAndNothingElse) {
  const struct {
    std::int64_t pairs, locations;
  } cases[] = {{0, 1}, {1, 2}, {3, 3}, {6, 4}, {2, -1}, {5, -1}, {-1, -1},
               {4999950000, 100000}, {4999950001, -1}, {std::int64_t{1} << 60, -1},
               {std::int64_t{1} << 62, -1}};
  for (const auto& c : cases) EXPECT_EQ(locations_of_pairs(c.pairs), c.locations) << c.pairs;
  EXPECT_THROW(packed_from_pairs(std::vector<double>(5, 1.0), Numbering::FromOne), std::invalid_argument);
  EXPECT_THROW(packed_from_square(std::vector<double>(6, 0.0), 2, true, Numbering::FromOne),
               std::invalid_argument);
  EXPECT_THROW(cluster_packed({1.0}, 2, 0), std::invalid_argument);
  EXPECT_THROW(cluster_packed({1.0, 2.0}, 2, 3), std::invalid_argument);
}

TEST(Bindings, PairsArePackedAndClusteredAsTheEngineDoes) {
  // (1,2) (1,3) (1,4) (2,3) (2,4) (3,4): 3 and 4 are closest, then 1 and 2.
  const std::vector<double> pairs = {1.0, 5.0, 6.0, 4.0, 7.0, 0.5};
  const trees::Tree tree = cluster_packed(packed_from_pairs(pairs, Numbering::FromOne), 4, 2);
  const Hclust hc = stats_hclust(tree);
  EXPECT_EQ(hc.merge1, (std::vector<std::int32_t>{-3, -1, 1}));
  EXPECT_EQ(hc.merge2, (std::vector<std::int32_t>{-4, -2, 2}));
  EXPECT_EQ(hc.height, (std::vector<double>{0.5, 1.0, 7.0}));
  EXPECT_EQ(hc.order, (std::vector<std::int32_t>{3, 4, 1, 2}));
  EXPECT_EQ(scipy_linkage_matrix(tree),
            (std::vector<double>{2, 3, 0.5, 2, 0, 1, 1.0, 2, 4, 5, 7.0, 4}));
}

// The sample job run by metclust into a folder of its own.
class BindingsJob : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path examples = fs::path(METCLUST_SOURCE_DIR) / "examples";
    const testing::RunOutcome run = testing::run_program(
        testing::metclust_program(),
        {"--quiet", "--strategy", "5", "--output", folder_.path().string(), (examples / "TRIAL").string()},
        folder_.path());
    ASSERT_EQ(run.status, 0) << run.err;
    ema_ = testing::read_bytes(examples / "TRIAL.EMA");
  }
  std::string job() const { return folder_.file("TRIAL"); }

  ScratchFolder folder_;
  std::string ema_;
};

TEST_F(BindingsJob, TheEmaBesideItGivesTheRunsLevelsInFullPrecision) {
  const JobTrees eight_digits = read_job(job() + ".CLS");
  EXPECT_FALSE(eight_digits.full_precision);
  ASSERT_EQ(eight_digits.notes.size(), 1u);
  EXPECT_NE(eight_digits.notes[0].find("TRIAL.EMA: no such file"), std::string::npos)
      << eight_digits.notes[0];
  folder_.put("TRIAL.EMA", ema_);
  const JobTrees full = read_job(job());
  ASSERT_TRUE(full.full_precision);
  EXPECT_EQ(full.strategy, 5);
  const JobTrees run = run_job(job(), 5);
  ASSERT_EQ(full.years.size(), 5u);
  ASSERT_EQ(run.years.size(), 5u);
  bool more_than_eight_digits = false;
  for (std::size_t y = 0; y < full.years.size(); ++y) {
    EXPECT_EQ(full.years[y].column, eight_digits.years[y].column);
    EXPECT_EQ(full.years[y].names, run.years[y].names);
    const auto levels = full.years[y].tree.fusions();
    const auto written = eight_digits.years[y].tree.fusions();
    const auto again = run.years[y].tree.fusions();
    ASSERT_EQ(levels.size(), written.size());
    for (std::size_t s = 0; s < levels.size(); ++s) {
      EXPECT_EQ(levels[s].level, again[s].level);  // the same doubles
      EXPECT_LE(std::abs(levels[s].level - written[s].level), 5e-8 * std::abs(levels[s].level));
      more_than_eight_digits |= levels[s].level != written[s].level;
    }
  }
  EXPECT_TRUE(more_than_eight_digits);
}

TEST_F(BindingsJob, AnEmaThatCannotBeUsedLeavesTheEightDigitsWithANote) {
  // Cut in the middle of a year, and clustered by another strategy: the
  // job is read all the same, each time with a note.
  folder_.put("TRIAL.EMA", ema_.substr(0, ema_.size() / 2));
  JobTrees cut = read_job(job());
  EXPECT_FALSE(cut.full_precision);
  ASSERT_EQ(cut.notes.size(), 1u);
  EXPECT_NE(cut.notes[0].find("TRIAL.EMA"), std::string::npos) << cut.notes[0];
  EXPECT_NE(cut.notes[0].find("TRIAL.CLS, to 8 significant digits"), std::string::npos) << cut.notes[0];
  EXPECT_THROW(run_job(job(), 5), std::runtime_error);

  // ISTRAT ends the third record of the .CLS, in six columns.
  std::string cls = folder_.take("TRIAL.CLS");
  const std::size_t third = cls.find("\r\n", cls.find("\r\n") + 2) + 2;
  const std::size_t strategy = cls.find("\r\n", third) - 6;
  ASSERT_EQ(cls.substr(strategy, 6), "     5");
  folder_.put("TRIAL.EMA", ema_);
  folder_.put("TRIAL.CLS", cls.replace(strategy, 6, "     3"));
  const JobTrees other = read_job(job());
  EXPECT_FALSE(other.full_precision);
  ASSERT_FALSE(other.notes.empty());
  for (const std::string& note : other.notes) {
    EXPECT_NE(note.find("clustered again"), std::string::npos) << note;
  }
}

TEST_F(BindingsJob, DamagedResultsAreErrorsNamingTheFile) {
  const std::string cls = folder_.take("TRIAL.CLS");
  folder_.put("TRIAL.CLS", cls.substr(0, cls.size() / 3));
  try {
    read_job(job());
    FAIL() << "a cut .CLS was read";
  } catch (const MissingFile&) {
    FAIL() << "a cut .CLS is no missing file";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("TRIAL.CLS:"), std::string::npos) << error.what();
  }
  fs::remove(folder_ / "TRIAL.CLS");
  EXPECT_THROW(read_job(job()), MissingFile);
  EXPECT_THROW(read_job(folder_.path().string() + "/"), std::invalid_argument);
}

}  // namespace
}  // namespace metclust::bindings
