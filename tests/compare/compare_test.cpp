// metclust-compare: a three-year job worked out by hand, and the program on
// jobs that metclust itself ran.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
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

  // Year 1's groups are regions A and B. Year 2 keeps both (overlaps 2 and
  // 1). In year 3 every overlap is 1: region A goes to the group of C and A
  // (smaller group), B to D and B.
  EXPECT_EQ(groups_by_year_csv(comparison),
            "location,full_name,1,2,3\r\nA,,A,A,A\r\nB,,A,A,B\r\nC,,B,B,A\r\nD,,B,,B\r\nE,,,B,\r\n");

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
  const Comparison comparison = compare_years(years);
  EXPECT_EQ(groups_by_year_csv(comparison),
            "location,full_name,1,2\r\nA,,A,A\r\nB,,A,A\r\nC,,A,C\r\nD,,B,A\r\nE,,,C\r\n");
  // Each year's groups stay numbered as cutree numbers them: in year 2, C
  // and E are group 2 of region C.
  EXPECT_EQ(regions_csv(comparison),
            "year,location,name,full_name,group,region\r\n"
            "1,1,A,,1,A\r\n1,2,B,,1,A\r\n1,3,C,,1,A\r\n1,4,D,,2,B\r\n"
            "2,1,A,,1,A\r\n2,2,B,,1,A\r\n2,3,D,,1,A\r\n2,4,C,,2,C\r\n2,5,E,,2,C\r\n");
}

TEST(CompareYears, RegionsAreLetteredAsSpreadsheetColumns) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {1, "A"}, {2, "B"}, {26, "Z"}, {27, "AA"}, {28, "AB"}, {52, "AZ"}, {53, "BA"},
      {702, "ZZ"}, {703, "AAA"}, {18278, "ZZZ"}, {18279, "AAAA"}};
  for (const auto& [region, letters] : cases) EXPECT_EQ(region_letters(region), letters) << region;
  EXPECT_THROW(region_letters(0), std::invalid_argument);
}

// Which locations' consensus groups rest on a choice among equal values,
// on trees whose fusions take one of the equal pairs each time: followed
// through every order (moved_by_ties), and judged from the tree alone
// (doubtful_members), which also marks a choice whose every outcome ends
// in the same groups.
TEST(CompareYears, LocationsMovedByTies) {
  struct Case {
    const char* what;
    std::int32_t n;
    std::vector<double> matrix;  // packed: (1,2), (1,3), (2,3), (1,4), ...
    std::vector<trees::Fusion> fusions;
    std::optional<std::int64_t> groups;  // none: at level 0.5
    std::vector<bool> moved;
    std::vector<bool> marked;
  };
  // Five locations: 1 and 2 always together, 3-4 and 4-5 half the time,
  // 3-5 never; every other pair never.
  const std::vector<double> chain = {0, 1, 1, 1, 1, 0.5, 1, 1, 1, 0.5};
  const std::vector<trees::Fusion> chain_fusions = {{1, 2, 0}, {3, 4, 0.5}, {5, 7, 0.75}, {6, 8, 1}};
  const std::vector<bool> none5(5, false);
  const std::vector<bool> chained = {false, false, true, true, true};
  const Case cases[] = {
      {"1-2 and 2-3 equal, 1-3 not: either pair could go first", 3, {0.5, 1, 0.5},
       {{1, 2, 0.5}, {3, 4, 0.75}}, 2, {true, true, true}, {true, true, true}},
      {"the same, and all three end in one group", 4, {1.0 / 3, 1.0 / 3, 2.0 / 3, 1, 1, 1},
       {{1, 2, 1.0 / 3}, {3, 5, 0.5}, {4, 6, 1}}, 2, std::vector<bool>(4, false),
       {true, true, true, false}},
      {"three at one value: every order ends in the same group", 4, {0, 0, 0, 1, 1, 1},
       {{1, 2, 0}, {3, 5, 0}, {4, 6, 1}}, 2, std::vector<bool>(4, false), std::vector<bool>(4, false)},
      {"two separate pairs at one value, both below the cut", 4, {0, 1, 1, 1, 1, 0},
       {{1, 2, 0}, {3, 4, 0}, {5, 6, 1}}, 2, std::vector<bool>(4, false), std::vector<bool>(4, false)},
      {"two separate pairs at one value, the cut between them", 4, {0, 1, 1, 1, 1, 0},
       {{1, 2, 0}, {3, 4, 0}, {5, 6, 1}}, 3, std::vector<bool>(4, true), std::vector<bool>(4, true)},
      {"the choice lies above the cut", 5, chain, chain_fusions, 4, none5, none5},
      {"the choice lies below the cut", 5, chain, chain_fusions, 3, chained, chained},
      {"below a coarser cut, every choice ends in one group", 5, chain, chain_fusions, 2, none5, chained},
      {"the choice at the level of the cut", 5, chain, chain_fusions, std::nullopt, chained, chained},
      {"no pair at an equal value", 3, {0.2, 1, 0.6}, {{1, 2, 0.2}, {3, 4, 0.8}}, 2,
       {false, false, false}, {false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const trees::Tree tree(c.n, c.fusions);
    ConsensusCut rule;
    rule.groups = c.groups;
    const trees::Partition cut =
        c.groups ? trees::cut_into_groups(tree, *c.groups) : trees::cut_at_level(tree, rule.level);
    EXPECT_EQ(moved_by_ties(c.matrix, c.n, rule, 1000), std::optional<std::vector<bool>>(c.moved));
    EXPECT_EQ(doubtful_members(c.matrix, tree, cut), c.marked);
  }
  // Too many orders to follow.
  ConsensusCut rule;
  rule.groups = 2;
  EXPECT_EQ(moved_by_ties(chain, 5, rule, 2), std::nullopt);
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
  EXPECT_NE(groups_by_year_csv(comparison).find("\r\nE,,,B,,"), std::string::npos);
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
                           "JOB-regions.csv", "JOB-consensus.csv", "JOB-years.html"}) {
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
  // Two years: the page says the consensus is weak.
  EXPECT_NE(page.find("A consensus over 2 years is weak"), std::string::npos);
  const std::vector<std::string> consensus =
      testing::lines(testing::read_bytes(folder_ / "JOB-consensus.csv"));
  ASSERT_EQ(consensus.size(), 6u);
  EXPECT_EQ(consensus[0], "location,name,full_name,consensus_group,stability,ambiguous");
  EXPECT_EQ(consensus[1].substr(0, 9), "1,A,Ames,");
  // E is in one year of two, left out of the consensus.
  EXPECT_EQ(consensus[5], "5,E,,,,");
}

// Two years that disagree on every pair: all shares are 0 or 1/2, the
// consensus tree is all ties, and the page names every location that the
// file marks ambiguous, and no other.
TEST_F(CompareProgram, AmbiguousLocationsAreNamed) {
  ASSERT_EQ(run_job({{"A", "B", "C", "D", "E", "F"}, {"B", "C", "D", "E", "F", "A"}}).status, 0);
  const testing::RunOutcome outcome = compare({"--groups", "2", "JOB"});
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const std::string page = testing::read_bytes(folder_ / "JOB-years.html");
  const std::size_t named = page.find("<b>Ambiguous (marked ?):</b>");
  const std::size_t end = page.find("</p>", named);
  std::vector<std::string> marked;
  std::vector<std::string> plain;
  for (const std::string& row : testing::lines(testing::read_bytes(folder_ / "JOB-consensus.csv"))) {
    if (row.rfind("location,", 0) == 0) continue;
    const std::size_t first = row.find(',');
    const std::string name = row.substr(first + 1, row.find(',', first + 1) - first - 1);
    (row.back() == '1' ? marked : plain).push_back(name);
  }
  ASSERT_FALSE(marked.empty()) << page;
  ASSERT_NE(named, std::string::npos);
  std::string list = page.substr(named, end - named);
  if (!list.empty() && list.back() == '.') list.back() = ',';  // the last name
  for (const std::string& name : marked) {
    EXPECT_NE(list.find(" " + name + ","), std::string::npos) << name << " in " << list;
  }
  for (const std::string& name : plain) {
    EXPECT_EQ(list.find(" " + name + ","), std::string::npos) << name << " in " << list;
  }
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
