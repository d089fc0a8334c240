// A finished job's levels at full precision: the fixture jobs' .CLS and
// .PCL files with their .EMA files as they are, edited, cut short and
// hostile.
#include "jobs/full_precision.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "records/located_error.hpp"
#include "records/packed.hpp"
#include "support/programs.hpp"
#include "support/scratch_folder.hpp"
#include "trees/tree.hpp"

namespace metclust::jobs {
namespace {

namespace fs = std::filesystem;
using metclust::testing::fixtures_folder;
using metclust::testing::read_bytes;

std::string expected_job(const std::string& fixture) {
  return (fixtures_folder() / fixture / "expected" / "JOB").string();
}

std::string input_ema(const std::string& fixture) {
  return read_bytes(fixtures_folder() / fixture / "input" / "JOB.EMA");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// A year's fusion levels, in fusion order.
std::vector<double> levels_of(const Year& year) {
  std::vector<double> levels;
  for (const trees::Fusion& fusion : year.tree.fusions()) levels.push_back(fusion.level);
  return levels;
}

struct Outcome {
  JobFiles files;
  std::vector<double> printed;  // the first year's levels as the .CLS has them
  PrecisionOutcome precision;
};

Outcome run(const std::string& fixture, const std::string& ema) {
  Outcome outcome{read_job(expected_job(fixture), Cluster::Required, ""), {}, {}};
  outcome.printed = levels_of(outcome.files.years.at(0));
  const EmaYears years = read_ema_years(ema, "JOB.EMA", outcome.files.years);
  outcome.precision = full_precision_levels(outcome.files, &years, "JOB.EMA", "JOB.CLS");
  return outcome;
}

TEST(FullPrecision, TheEnginesLevelsWhereTheFusionsComeOutAgain) {
  // Twelve locations by group average (strategy 7): fusion 10 joins the
  // six locations of BIRCH's group and JUNIPER and LARCH at the mean of
  // their 12 proximities, 6.35608333..., which the .CLS file holds as
  // 0.63560833E+01.
  const std::string ema = input_ema("twelve_locations");
  Outcome outcome = run("twelve_locations", ema);
  ASSERT_EQ(outcome.precision.engine, std::vector<bool>{true});
  EXPECT_TRUE(outcome.precision.notes.empty());

  const std::vector<double> levels = levels_of(outcome.files.years[0]);
  const EmaYears matrices = read_ema_years(ema, "JOB.EMA", outcome.files.years);
  const std::vector<double>& d = matrices.years.at(0).proximities;
  EXPECT_EQ(matrices.years[0].names.front(), "ALDER");
  EXPECT_EQ(matrices.years[0].names.back(), "LARCH");
  const trees::Partition three = trees::cut_into_groups(outcome.files.years[0].tree, 3);
  const std::int32_t birch = three.group[1];
  const std::int32_t juniper = three.group[9];
  double sum = 0.0;
  int pairs = 0;
  for (int i = 1; i <= 12; ++i) {
    for (int j = 1; j <= 12; ++j) {
      if (three.group[static_cast<std::size_t>(i - 1)] != birch ||
          three.group[static_cast<std::size_t>(j - 1)] != juniper) {
        continue;
      }
      sum += d.at(static_cast<std::size_t>(records::packed_index(i, j)));
      ++pairs;
    }
  }
  ASSERT_EQ(pairs, 12);
  EXPECT_NEAR(levels[9], sum / 12.0, 1e-14);
  EXPECT_GT(std::fabs(outcome.printed[9] - sum / 12.0), 1e-9);
  for (std::size_t s = 0; s < levels.size(); ++s) {
    EXPECT_NEAR(levels[s], outcome.printed[s], 6e-8 * std::fabs(levels[s])) << s;
  }
}

TEST(FullPrecision, AYearThatComesOutOtherwiseKeepsItsPrintedLevels) {
  const std::string ema = input_ema("twelve_locations");
  const struct {
    const char* what;
    std::string from;
    std::string to;
    std::string note;
  } cases[] = {
      // IVY to KALMIA still the closest pair, a little further apart.
      {"another level", "0.20100000E+00", "0.20200000E+00",
       "JOB.EMA: year 1993 (line 4): clustered again, fusion 1 lies at 0.202, the .CLS file says 0.201; "
       "its levels are those of JOB.CLS, to 8 significant digits"},
      // Now BIRCH and GORSE are the closest.
      {"other fusions", "0.20100000E+00", "0.50000000E+00",
       "JOB.EMA: year 1993 (line 4): clustered again, fusion 1 joins 2 and 7, the .CLS file 9 and 11; "
       "its levels are those of JOB.CLS, to 8 significant digits"},
  };
  for (const auto& c : cases) {
    Outcome outcome = run("twelve_locations", replaced(ema, c.from, c.to));
    EXPECT_EQ(outcome.precision.engine, std::vector<bool>{false}) << c.what;
    EXPECT_EQ(outcome.precision.notes, std::vector<std::string>{c.note}) << c.what;
    EXPECT_EQ(levels_of(outcome.files.years[0]), outcome.printed) << c.what;
  }
}

TEST(FullPrecision, ReadingStopsWhereTheFileIsNoLongerTheJobs) {
  const std::string ema = input_ema("two_years");
  const std::string cut = ema.substr(0, ema.find("  1991"));
  const struct {
    const char* what;
    std::string bytes;
    std::vector<bool> engine;
    std::string why;
  } cases[] = {
      {"as it is", ema, {true, true}, ""},
      {"cut after the first year", cut, {true, false}, "the file ends before year 1991"},
      {"another year", replaced(ema, "  1991    YR1991", "  1992    YR1991"), {true, false},
       "year 1992 stands where the job has year 1991 (line 10)"},
      {"another number of locations", replaced(ema, "1991    YR1991\n4\n", "1991    YR1991\n3\n"),
       {true, false}, "year 1991 retains 3 locations, the job's year 4 (line 11)"},
      // A run header that no build holds: nothing is read, and nothing of
      // its size is set aside.
      {"MAXL beyond every build", replaced(ema, "2 4 6 90 91", "2 2000000000 6 90 91"), {false, false},
       "its run header asks for room for 2000000000 locations (MAXL), which no run holds"},
  };
  for (const auto& c : cases) {
    Outcome outcome = run("two_years", c.bytes);
    EXPECT_EQ(outcome.precision.engine, c.engine) << c.what;
    if (c.why.empty()) {
      EXPECT_TRUE(outcome.precision.notes.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(outcome.precision.notes.size(), 1U) << c.what;
    const std::string& note = outcome.precision.notes[0];
    EXPECT_NE(note.find(c.why), std::string::npos) << c.what << ": " << note;
    EXPECT_NE(note.find("JOB.CLS, to 8 significant digits"), std::string::npos) << note;
  }
}

TEST(FullPrecision, AFaultInTheFileIsAnErrorAtItsPlace) {
  const std::string ema = replaced(input_ema("two_years"), "0.40000000E+01", "0.4000x000E+01");
  JobFiles files = read_job(expected_job("two_years"), Cluster::Required, "");
  try {
    read_ema_years(ema, "JOB.EMA", files.years);
    FAIL() << "a malformed proximity was read";
  } catch (const records::LocatedError& error) {
    EXPECT_EQ(error.file(), "JOB.EMA");
    EXPECT_EQ(error.line(), 8);  // SITEB's row
  }
}

TEST(FullPrecision, WithoutTheFileEveryYearKeepsItsPrintedLevels) {
  metclust::testing::ScratchFolder folder;
  JobFiles files = read_job(expected_job("two_years"), Cluster::Required, "");
  EXPECT_FALSE(read_ema_file(folder.file("JOB.EMA"), files.years));
  folder.put("JOB.EMA", input_ema("two_years"));
  EXPECT_EQ(read_ema_file(folder.file("JOB.EMA"), files.years)->years.size(), 2U);

  const std::vector<double> printed = levels_of(files.years[1]);
  const PrecisionOutcome outcome = full_precision_levels(files, nullptr, "JOB.EMA", "JOB.CLS");
  EXPECT_EQ(outcome.engine, (std::vector<bool>{false, false}));
  EXPECT_EQ(outcome.notes, std::vector<std::string>{
                               "JOB.EMA: no such file; the fusion levels are those of JOB.CLS, to 8 significant digits"});
  EXPECT_EQ(levels_of(files.years[1]), printed);
}

}  // namespace
}  // namespace metclust::jobs
