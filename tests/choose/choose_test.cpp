// metclust-choose on jobs that metclust itself ran: a small job worked out
// by hand, what becomes of the figures without the job's .EMA file or with
// one that no longer made the job, the page, and the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "choose/choose_support.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::choose {
namespace {

using namespace metclust::choose::testing;
using metclust::testing::ScratchFolder;
using metclust::testing::number;

// Five locations on a line at 0, 1, 3, 6 and 16, twice, the second year
// with its rows in another order. Nearest neighbour joins them at 1, 2, 3
// and 10.
std::vector<YearInput> line_job() {
  return {on_a_line(1990, {"A", "B", "C", "D", "E"}, {0, 1, 3, 6, 16}),
          on_a_line(1991, {"E", "C", "A", "D", "B"}, {16, 3, 0, 6, 1})};
}

TEST(ChooseProgram, HandWorkedJob) {
  ScratchFolder folder;
  ASSERT_EQ(run_job(folder.path(), line_job(), 1).status, 0);
  const Outcome outcome = choose(folder.path(), {"JOB"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out, "JOB-fit.csv\nJOB-suggested-groups.csv\nJOB-stability.csv\nJOB-choose.html\n");

  // Cophenetic levels 1 (AB), 2 (AC BC), 3 (AD BD CD) and 10 (to E)
  // against the distances: r = 0.9510128088. Agglomerative coefficient:
  // A and B join at 1, C at 2, D at 3, E at 10 of 10: mean(0.9, 0.9, 0.8,
  // 0.7, 0) = 0.66. Mojena: levels 1, 2, 3, 10 have mean 4 and standard
  // deviation 4.08, so only 10 lies above 9.10: 2 groups. Silhouette: into
  // 2 groups, A..D against E, widths 38/48, 37/45, 31/39, 16/30 and 0
  // (mean 0.5884188); 3 groups give 0.307 and 4 give 0.233.
  const auto fit = rows(folder.take("JOB-fit.csv"));
  ASSERT_EQ(fit.size(), 3U);
  EXPECT_EQ(fit[0], (std::vector<std::string>{"year", "strategy", "cophenetic_correlation",
                                              "agglomerative_coefficient"}));
  const auto groups = rows(folder.take("JOB-suggested-groups.csv"));
  ASSERT_EQ(groups.size(), 3U);
  EXPECT_EQ(groups[0], (std::vector<std::string>{"year", "strategy", "mojena_groups", "silhouette_groups",
                                                 "silhouette_width"}));
  for (std::size_t row = 1; row <= 2; ++row) {
    EXPECT_EQ(fit[row][0], row == 1 ? "1990" : "1991");
    EXPECT_EQ(fit[row][1], "1");
    EXPECT_NEAR(number(fit[row][2]), 0.951012808804108, 1e-14);
    EXPECT_NEAR(number(fit[row][3]), 0.66, 1e-15);
    EXPECT_EQ((std::vector<std::string>(groups[row].begin() + 1, groups[row].begin() + 4)),
              (std::vector<std::string>{"1", "2", "2"}));
    EXPECT_NEAR(number(groups[row][4]), (38.0 / 48 + 37.0 / 45 + 31.0 / 39 + 16.0 / 30) / 5, 1e-15);
  }

  // Both years cut alike into 2, 3 and 4 groups: one pair of years, index
  // 1. From 5 groups on, no year has more locations than groups.
  const auto stability = rows(folder.take("JOB-stability.csv"));
  ASSERT_EQ(stability.size(), 10U);
  EXPECT_EQ(stability[0], (std::vector<std::string>{"strategy", "groups", "mean_adjusted_rand", "year_pairs"}));
  EXPECT_EQ(stability[1], (std::vector<std::string>{"1", "2", "1", "1"}));
  EXPECT_EQ(stability[3], (std::vector<std::string>{"1", "4", "1", "1"}));
  EXPECT_EQ(stability[4], (std::vector<std::string>{"1", "5", "", "0"}));
  EXPECT_EQ(stability[9], (std::vector<std::string>{"1", "10", "", "0"}));

  const std::string page = folder.take("JOB-choose.html");
  EXPECT_NE(page.find("Suggested: <b>strategy 1, Nearest neighbour</b>, cut into <b>2 groups</b>."),
            std::string::npos);
  EXPECT_NE(page.find("in 2 of 2 years the mean silhouette width is largest at 2 groups"), std::string::npos);
  EXPECT_NE(page.find("<b>Years that disagree:</b> none"), std::string::npos);
}

TEST(ChooseProgram, MaxGroupsBoundsTheCuts) {
  ScratchFolder folder;
  ASSERT_EQ(run_job(folder.path(), line_job(), 1).status, 0);
  ASSERT_EQ(choose(folder.path(), {"--max-groups", "3", "-o", "out", "JOB"}).status, 0);
  EXPECT_FALSE(folder.exists("JOB-fit.csv"));
  EXPECT_EQ(rows(folder.take("out/JOB-stability.csv")).size(), 3U);
  // --max-groups 2 leaves one cut; silhouette picks it.
  ASSERT_EQ(choose(folder.path(), {"--max-groups=2", "JOB"}).status, 0);
  EXPECT_EQ(rows(folder.take("JOB-suggested-groups.csv"))[1][3], "2");
}

TEST(ChooseProgram, WithoutTheJobsProximities) {
  ScratchFolder folder;
  ASSERT_EQ(run_job(folder.path(), line_job(), 1).status, 0);
  const std::string ema = folder.take("JOB.EMA");

  // No .EMA: the figures of the levels alone, and a note.
  fs::remove(folder / "JOB.EMA");
  Outcome outcome = choose(folder.path(), {"JOB"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "metclust-choose: note: JOB.EMA: no such file; without the proximities the cophenetic correlation and the "
                             "silhouette are left empty, and the fusion levels are those of the .CLS files, "
                             "to 8 significant digits\n");
  auto fit = rows(folder.take("JOB-fit.csv"));
  EXPECT_EQ((std::vector<std::string>(fit[1].begin(), fit[1].begin() + 3)),
            (std::vector<std::string>{"1990", "1", ""}));
  EXPECT_NEAR(number(fit[1][3]), 0.66, 1e-15);
  auto groups = rows(folder.take("JOB-suggested-groups.csv"));
  EXPECT_EQ(groups[1], (std::vector<std::string>{"1990", "1", "2", "", ""}));
  // Mojena's rule speaks for the number of groups then.
  std::string page = folder.take("JOB-choose.html");
  EXPECT_NE(page.find("cut into <b>2 groups</b>"), std::string::npos);
  EXPECT_NE(page.find("Mojena's rule stops at 2 groups"), std::string::npos);

  // An .EMA whose second year no longer gives the job's fusions: that year
  // alone loses the figures of its proximities.
  const std::string moved = "     16.000000";  // E's distance to C in 1991 (row 1: E, row 2: C)
  std::string edited = ema;
  const std::size_t at = edited.rfind(moved);
  ASSERT_NE(at, std::string::npos);
  edited.replace(at, moved.size(), "      1.500000");
  folder.put("JOB.EMA", edited);
  outcome = choose(folder.path(), {"JOB"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err.rfind("metclust-choose: note: JOB.EMA: year 1991 (line 12): clustered again, fusion 2 ", 0),
            0U)
      << outcome.err;
  EXPECT_NE(outcome.err.find("its levels are those of JOB.CLS, to 8 significant digits\n"), std::string::npos);
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
  fit = rows(folder.take("JOB-fit.csv"));
  EXPECT_FALSE(fit[1][2].empty());
  EXPECT_TRUE(fit[2][2].empty());
  EXPECT_NEAR(number(fit[2][3]), 0.66, 1e-15);
}

TEST(ChooseProgram, AYearWithANameTwiceTakesNoPartInTheStability) {
  ScratchFolder folder;
  std::vector<YearInput> job = line_job();
  job.push_back(on_a_line(1992, {"A", "B", "A", "D", "E"}, {0, 1, 3, 6, 16}));
  ASSERT_EQ(run_job(folder.path(), job).status, 0);
  const Outcome outcome = choose(folder.path(), {"JOB"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  // Said once, not once for each of the eight runs.
  EXPECT_EQ(outcome.err, "metclust-choose: note: year 1992: the name 'A' stands twice in the node listing; "
                         "the year takes no part in the stability of its cuts\n");
  const auto stability = rows(folder.take("JOB-stability.csv"));
  ASSERT_EQ(stability.size(), 1U + 8 * 9);
  for (std::size_t row = 1; row < stability.size(); ++row) {
    const int groups = std::stoi(stability[row][1]);
    EXPECT_EQ(stability[row][3], groups < 5 ? "1" : "0") << row;
  }
  // Its other figures stay.
  const auto fit = rows(folder.take("JOB-fit.csv"));
  ASSERT_EQ(fit.size(), 1U + 3 * 8);
  EXPECT_EQ(fit.back()[0], "1992");
  EXPECT_FALSE(fit.back()[2].empty());
}

TEST(ChooseProgram, SilhouetteNeedsThreeLocationsAndNoNegativeProximity) {
  ScratchFolder folder;
  YearInput negative = on_a_line(1992, {"A", "B", "C", "D"}, {0, 1, 5, 6});
  negative.proximity = [](std::size_t i, std::size_t j) { return i + j == 1 ? -0.5 : double(i + j); };
  ASSERT_EQ(run_job(folder.path(),
                    {on_a_line(1990, {"A", "B"}, {0, 1}), on_a_line(1991, {"A", "B", "C"}, {0, 1, 5}), negative},
                    3)
                .status,
            0);
  ASSERT_EQ(choose(folder.path(), {"JOB"}).status, 0);
  const auto groups = rows(folder.take("JOB-suggested-groups.csv"));
  ASSERT_EQ(groups.size(), 4U);
  EXPECT_EQ(groups[1], (std::vector<std::string>{"1990", "3", "", "", ""}));
  EXPECT_EQ((std::vector<std::string>(groups[2].begin(), groups[2].begin() + 4)),
            (std::vector<std::string>{"1991", "3", "1", "2"}));
  EXPECT_EQ((std::vector<std::string>(groups[3].begin() + 3, groups[3].end())),
            (std::vector<std::string>{"", ""}));
  EXPECT_FALSE(groups[3][2].empty());
  const auto fit = rows(folder.take("JOB-fit.csv"));
  // One pair has no correlation; two locations joined at 1 score 0.
  EXPECT_EQ(fit[1], (std::vector<std::string>{"1990", "3", "", "0"}));
  EXPECT_FALSE(fit[3][2].empty());
}

TEST(ChooseProgram, NamesOnThePageAreText) {
  ScratchFolder folder;
  const std::vector<std::string> names = {"<b>A&", "\"B'", "C<!--", "D", "E"};
  ASSERT_EQ(run_job(folder.path(), {on_a_line(1990, names, {0, 1, 3, 6, 16})}, 2).status, 0);
  ASSERT_EQ(choose(folder.path(), {"JOB"}).status, 0);
  const std::string page = folder.take("JOB-choose.html");
  EXPECT_EQ(page.find("<b>A&"), std::string::npos);
  EXPECT_EQ(page.find("<!--"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("http"), page.find("http://www.w3.org/2000/svg"));  // nothing from outside
}

TEST(ChooseProgram, FaultsAreOneLineAndWriteNothing) {
  ScratchFolder folder;
  Outcome outcome = choose(folder.path(), {"JOB"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "metclust-choose: JOB.PCL: no such file, and no run JOB-s1 ... JOB-s8 of metclust "
                         "--strategy all either\n");

  ASSERT_EQ(run_job(folder.path(), line_job(), 1).status, 0);
  // A run named for strategy 2 that holds a run of strategy 1.
  fs::copy_file(folder / "JOB.PCL", folder / "JOB-s2.PCL");
  fs::copy_file(folder / "JOB.CLS", folder / "JOB-s2.CLS");
  outcome = choose(folder.path(), {"JOB"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err,
            "metclust-choose: JOB-s2.CLS: holds a run of strategy 1, where its name says strategy 2\n");
  // A run with its .PCL only.
  fs::remove(folder / "JOB-s2.CLS");
  outcome = choose(folder.path(), {"JOB"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "metclust-choose: JOB-s2.CLS: no such file; metclust-choose takes the fusion levels "
                         "from it\n");
  fs::remove(folder / "JOB-s2.PCL");
  // A .CLS that lost its last fusion record.
  std::string cls = folder.take("JOB.CLS");
  cls.erase(cls.rfind('\n', cls.size() - 2) + 1);
  folder.put("JOB.CLS", cls);
  outcome = choose(folder.path(), {"JOB"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
  EXPECT_EQ(outcome.err.rfind("metclust-choose: JOB.CLS", 0), 0U) << outcome.err;
  for (const char* file : {"JOB-fit.csv", "JOB-suggested-groups.csv", "JOB-stability.csv", "JOB-choose.html"}) {
    EXPECT_FALSE(folder.exists(file)) << file;
  }
}

TEST(ChooseProgram, CommandLine) {
  ScratchFolder folder;
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string first_line;
  } cases[] = {
      {{"--help"}, 0, "Usage: metclust-choose [--max-groups K] [-o DIR] JOB"},
      {{"--max-groups", "1", "JOB"}, 2, "metclust-choose: --max-groups takes a whole number from 2 to 499, not '1'"},
      {{"--max-groups", "500", "JOB"}, 2, "metclust-choose: --max-groups takes a whole number from 2 to 499, not '500'"},
      {{"--max-groups", "three", "JOB"}, 2, "metclust-choose: --max-groups takes a whole number from 2 to 499, not 'three'"},
      {{"--groups", "3", "JOB"}, 2, "metclust-choose: unknown option '--groups'"},
      {{}, 2, ""},
      {{"A", "B"}, 2, ""},
  };
  for (const auto& c : cases) {
    const Outcome outcome = choose(folder.path(), c.arguments);
    EXPECT_EQ(outcome.status, c.status) << c.first_line;
    const std::string& stream = c.status == 0 ? outcome.out : outcome.err;
    EXPECT_EQ(stream.substr(0, stream.find('\n')).substr(0, c.first_line.size()), c.first_line);
    if (c.status == 2) {
      EXPECT_NE(outcome.err.find("Usage: metclust-choose"), std::string::npos) << outcome.err;
    }
  }
  const Outcome version = choose(folder.path(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("metclust-choose ", 0), 0U) << version.out;
}

}  // namespace
}  // namespace metclust::choose
