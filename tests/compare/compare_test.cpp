// metclust-compare: a three-year job worked out by hand, and the program on
// jobs that metclust itself ran.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "compare/across_years.hpp"
#include "compare/consensus.hpp"
#include "compare/tables.hpp"
#include "support/job_files.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::compare {
namespace {

namespace fs = std::filesystem;

// Three years of five locations A..E:
//   year 1: A B C D   (A,B) at 1, (C,D) at 2, both at 5
//   year 2: B C A E   (B,A) at 1, (C,E) at 3, both at 4
//   year 3: C D A B   (C,A) at 1, (D,B) at 2, both at 3
// each cut into two groups.
// A year as the comparison takes it, cut into two groups.
YearCut year_cut(std::string column, std::vector<std::string> names,
                 std::vector<trees::Fusion> fusions) {
  jobs::Year year;
  year.column = std::move(column);
  year.tree = trees::Tree(static_cast<std::int32_t>(names.size()), std::move(fusions));
  year.names = std::move(names);
  trees::Partition cut = trees::cut_into_groups(year.tree, 2);
  return YearCut{std::move(year), std::move(cut)};
}

std::vector<YearCut> three_years() {
  const auto year = year_cut;
  std::vector<YearCut> years;
  years.push_back(year("1", {"A", "B", "C", "D"}, {{1, 2, 1.0}, {3, 4, 2.0}, {5, 6, 5.0}}));
  years.push_back(year("2", {"B", "C", "A", "E"}, {{1, 3, 1.0}, {2, 4, 3.0}, {5, 6, 4.0}}));
  years.push_back(year("3", {"C", "D", "A", "B"}, {{1, 3, 1.0}, {2, 4, 2.0}, {5, 6, 3.0}}));
  return years;
}

TEST(CompareYears, HandWorkedJob) {
  const Comparison comparison = compare_years(three_years());

  // Year 2 keeps both numbers (overlaps 2 and 1). In year 3 every overlap is
  // 1: number 1 goes to the group of C and A (smaller group), 2 to D and B.
  EXPECT_EQ(groups_by_year_csv(comparison),
            "location,full_name,1,2,3\r\nA,,1,1,1\r\nB,,1,1,2\r\nC,,2,2,1\r\nD,,2,,2\r\nE,,,2,\r\n");

  // D and E never share a year, so they have no row.
  EXPECT_EQ(comembership_csv(comparison),
            "location_a,location_b,full_name_a,full_name_b,years_both,years_together,share\r\n"
            "A,B,,,3,2,0.6666666666666666\r\nA,C,,,3,1,0.3333333333333333\r\nA,D,,,2,0,0\r\n"
            "A,E,,,1,0,0\r\nB,C,,,3,0,0\r\nB,D,,,2,1,0.5\r\nB,E,,,1,0,0\r\nC,D,,,2,1,0.5\r\n"
            "C,E,,,1,1,1\r\n");

  ASSERT_EQ(comparison.agreement.size(), 3U);
  const Agreement& one_two = comparison.agreement[0];
  const Agreement& one_three = comparison.agreement[1];
  const Agreement& two_three = comparison.agreement[2];
  // 1 and 2 share A, B, C with the same groups; levels (1, 5, 5) and (1, 4, 4).
  EXPECT_EQ(one_two.shared, 3);
  EXPECT_DOUBLE_EQ(*one_two.adjusted_rand, 1.0);
  EXPECT_NEAR(*one_two.cophenetic_correlation, 1.0, 1e-15);
  // 1 and 3 share A..D; every cell of the table is 1: (0 - 2/3) / (2 - 2/3).
  // Levels AB..CD (1,5,5,5,5,2) and (3,1,3,3,2,3): r = -3.5 / sqrt(707/12).
  EXPECT_EQ(one_three.shared, 4);
  EXPECT_NEAR(*one_three.adjusted_rand, -0.5, 1e-15);
  EXPECT_NEAR(*one_three.cophenetic_correlation, -3.5 / std::sqrt(707.0 / 12.0), 1e-14);
  // 2 and 3 share B, C, A: (0 - 1/3) / (1 - 1/3); levels (4,1,4), (3,3,1).
  EXPECT_EQ(two_three.shared, 3);
  EXPECT_NEAR(*two_three.adjusted_rand, -0.5, 1e-15);
  EXPECT_NEAR(*two_three.cophenetic_correlation, -0.5, 1e-15);
}

// Year 1 cuts A B C | D; year 2 cuts A B D | C E. Group A B D overlaps
// number 1 (A, B) twice and number 2 (D) once, group C E number 1 (C) once.
// Taken largest overlap first, A B D keeps 1, and C E, whose only number is
// taken, gets the new number 3; taken smallest first, C E would take 1 and
// A B D 2.
TEST(CompareYears, AGroupKeepsTheNumberItOverlapsMost) {
  const auto year = year_cut;
  std::vector<YearCut> years;
  years.push_back(year("1", {"A", "B", "C", "D"}, {{1, 2, 1.0}, {5, 3, 2.0}, {6, 4, 5.0}}));
  years.push_back(year("2", {"A", "B", "D", "C", "E"}, {{1, 2, 1.0}, {6, 3, 2.0}, {4, 5, 3.0}, {7, 8, 6.0}}));
  EXPECT_EQ(groups_by_year_csv(compare_years(years)),
            "location,full_name,1,2\r\nA,,1,1\r\nB,,1,1\r\nC,,1,3\r\nD,,2,1\r\nE,,,3\r\n");
}

TEST(CompareYears, ConsensusByGroupAverage) {
  const Comparison comparison = compare_years(three_years());
  ConsensusCut cut;
  cut.groups = 2;
  const Consensus result = consensus(comparison, cut);
  // E is seen in one year of three; the rule asks for 2.
  EXPECT_EQ(result.minimum_years, 2);
  ASSERT_EQ(result.members, (std::vector<std::size_t>{0, 1, 2, 3}));
  // 1 - share: AB 1/3, CD 1/2, then AB to CD the mean of 2/3, 1, 1, 1/2.
  ASSERT_EQ(result.tree.fusions().size(), 3U);
  EXPECT_NEAR(result.tree.level(0), 1.0 / 3.0, 1e-15);
  EXPECT_NEAR(result.tree.level(1), 0.5, 1e-15);
  EXPECT_NEAR(result.tree.level(2), 19.0 / 24.0, 1e-15);
  EXPECT_EQ(result.partition.group, (std::vector<std::int32_t>{1, 1, 2, 2}));
  EXPECT_NEAR(*result.stability[0], 2.0 / 3.0, 1e-15);
  EXPECT_NEAR(*result.stability[3], 0.5, 1e-15);

  EXPECT_EQ(consensus_minimum_years(1), 1);
  EXPECT_EQ(consensus_minimum_years(2), 2);
  EXPECT_EQ(consensus_minimum_years(3), 2);
  EXPECT_EQ(consensus_minimum_years(20), 10);
}

TEST(CompareYears, FewSharedLocationsLeaveTheIndicesEmpty) {
  std::vector<YearCut> years = three_years();
  // A fourth year holding only A and E, which also shows a location missing
  // from most years.
  years.push_back(year_cut("3-2", {"E", "A"}, {{1, 2, 1.0}}));
  const Comparison comparison = compare_years(years);
  const std::string csv = agreement_csv(comparison);
  for (const char* row : {"\r\n1,3-2,1,,\r\n", "\r\n2,3-2,2,,\r\n", "\r\n3,3-2,1,,\r\n"}) {
    EXPECT_NE(csv.find(row), std::string::npos) << row << csv;
  }
  EXPECT_EQ(csv.find("nan"), std::string::npos);
  EXPECT_NE(groups_by_year_csv(comparison).find("\r\nE,,,2,,"), std::string::npos);
}

// Jobs run through metclust, then metclust-compare.
class CompareProgram : public ::testing::Test {
 protected:
  testing::RunOutcome run_job(std::vector<std::vector<std::string>> names) {
    std::vector<testing::YearInput> years;
    int number = 90;
    for (auto& list : names) {
      years.push_back({number++, std::move(list), [](std::size_t i, std::size_t j) {
                         return static_cast<double>((i + 1) * (j + 2) % 7 + 1);
                       }});
    }
    return testing::run_job(folder_.path(), "COMPARE TEST", years, 3);
  }
  testing::RunOutcome compare(std::vector<std::string> arguments) {
    return testing::run_program(testing::compare_program(), arguments, folder_.path());
  }
  testing::ScratchFolder folder_;
};

TEST_F(CompareProgram, WritesTheFourFiles) {
  ASSERT_EQ(run_job({{"A", "B", "C", "D"}, {"B", "C", "D", "E", "A"}}).status, 0);
  // Full names for two of the locations, as metclust-import lists them.
  testing::write_bytes(folder_ / "JOB-names.csv",
                             "number,location,name\r\n1,Ames,A\r\n2,Crookston,C\r\n");
  const testing::RunOutcome outcome = compare({"--groups", "2", "JOB"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  for (const char* file : {"JOB-groups-by-year.csv", "JOB-comembership.csv", "JOB-agreement.csv",
                           "JOB-years.html"}) {
    EXPECT_TRUE(fs::exists(folder_ / file)) << file;
  }
  const std::vector<std::string> groups =
      testing::lines(testing::read_bytes(folder_ / "JOB-groups-by-year.csv"));
  ASSERT_EQ(groups.size(), 6u);
  EXPECT_EQ(groups[0], "location,full_name,90,91");
  EXPECT_EQ(groups[1].substr(0, 7), "A,Ames,");
  EXPECT_EQ(groups[2].substr(0, 3), "B,,");
  EXPECT_EQ(groups[3].substr(0, 12), "C,Crookston,");
  const std::string pairs = testing::read_bytes(folder_ / "JOB-comembership.csv");
  EXPECT_NE(pairs.find("\r\nA,C,Ames,Crookston,2,"), std::string::npos) << pairs;
  EXPECT_NE(pairs.find("\r\nB,C,,Crookston,2,"), std::string::npos) << pairs;
  const std::string page = testing::read_bytes(folder_ / "JOB-years.html");
  EXPECT_NE(page.find("A <span class=\"full\">(Ames)</span>"), std::string::npos);
}

TEST_F(CompareProgram, FaultsAreOneLineNamingFileAndLine) {
  ASSERT_EQ(run_job({{"A", "B", "C"}, {"B", "A", "B", "C"}}).status, 0);
  testing::RunOutcome outcome = compare({"--groups", "2", "JOB"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
  EXPECT_NE(outcome.err.find("metclust-compare: JOB.PCL:"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("'B' stands twice in year 91"), std::string::npos) << outcome.err;
  EXPECT_FALSE(fs::exists(folder_ / "JOB-agreement.csv"));

  // A .CLS that lost a fusion record no longer matches the plot data.
  ASSERT_EQ(run_job({{"A", "B", "C"}, {"B", "A", "C"}}).status, 0);
  std::string cls = testing::read_bytes(folder_ / "JOB.CLS");
  const std::size_t last = cls.rfind('\n', cls.size() - 2);
  cls.erase(last + 1);
  testing::write_bytes(folder_ / "JOB.CLS", cls);
  outcome = compare({"--groups", "2", "JOB"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
  EXPECT_NE(outcome.err.find("metclust-compare: JOB.CLS"), std::string::npos) << outcome.err;

  fs::remove(folder_ / "JOB.CLS");
  EXPECT_EQ(compare({"--groups", "2", "JOB"}).status, 1);
  EXPECT_EQ(compare({"JOB"}).status, 2);
  EXPECT_EQ(compare({"--groups", "2", "--height", "1", "JOB"}).status, 2);
}

}  // namespace
}  // namespace metclust::compare
