// Reading the dendrogram records of a .PCL file and the fusion records of a
// .CLS file, and the faults each reader names with file and line.
#include "formats/job_results.hpp"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "support/job_files.hpp"
#include "records/located_error.hpp"

namespace metclust::formats {
namespace {

using testing::joined_records;
using testing::padded;
using testing::three_site_cluster_records;
using testing::three_site_plot_records;

using Records = std::vector<std::string>;

// A name field without its padding, for comparing.
std::string name_of(const pcl::Node& node) {
  std::string name(node.name.begin(), node.name.end());
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

TEST(ReadPlotRecords, ThreeLocationsWithEitherRecordEnd) {
  for (const char* end : {"\r\n", "\n"}) {
    const auto years = read_plot_records(joined_records(three_site_plot_records(), end), "J.PCL");
    ASSERT_EQ(years.size(), 1u);
    const PlotYear& year = years[0];
    EXPECT_EQ(year.year, 1992);
    EXPECT_EQ(year.locations, 3);
    EXPECT_EQ(year.title, "THREE SITES");
    EXPECT_EQ(year.line, 1);
    EXPECT_EQ(year.fusion_line(1), 8);

    // The listing, each node where the brackets put it.
    std::vector<std::int32_t> numbers;
    std::vector<std::string> names;
    std::vector<float> xs;
    std::vector<float> ys;
    for (const pcl::Node& node : year.nodes) {
      numbers.push_back(node.number);
      names.push_back(name_of(node));
      xs.push_back(node.x);
      ys.push_back(node.y);
    }
    EXPECT_EQ(numbers, (std::vector<std::int32_t>{2, 1, 3, 4, 5}));
    EXPECT_EQ(names, (std::vector<std::string>{"B", "A", "C", "LGp__4", "LGp__5"}));
    EXPECT_EQ(xs, (std::vector<float>{1.0F, 2.0F, 3.0F, 1.5F, 2.25F}));
    EXPECT_EQ(ys, (std::vector<float>{1.0F, 1.0F, 1.0F, 2.0F, 3.0F}));

    ASSERT_EQ(year.joins.size(), 2u);
    EXPECT_EQ(year.joins[0], (std::array<std::int32_t, 2>{1, 2}));
    EXPECT_EQ(year.joins[1], (std::array<std::int32_t, 2>{4, 3}));
  }
}

// A year of one location is its header alone; a year of two has six records.
TEST(ReadPlotRecords, YearGroupsFollowEachOther) {
  Records records = three_site_plot_records();
  records.push_back(" 1993    1 " + padded("THREE SITES", 50));
  const Records two = {
      " 1994    2 " + padded("THREE SITES", 50),
      "  2.000  1.000   1 X          2 Y       ",
      "  2.000  2.000                1 X       ",
      "  1.500  2.000   3 LGp__3     3 LGp__3  ",
      "  1.000  2.000             ",
      "  1.000  1.000   2 Y       ",
      "",
  };
  records.insert(records.end(), two.begin(), two.end());
  const auto years = read_plot_records(joined_records(records), "J.PCL");
  ASSERT_EQ(years.size(), 3u);
  EXPECT_EQ(years[1].year, 1993);
  EXPECT_EQ(years[1].locations, 1);
  EXPECT_TRUE(years[1].joins.empty());
  EXPECT_TRUE(years[1].nodes.empty());
  EXPECT_EQ(years[2].year, 1994);
  EXPECT_EQ(years[2].line, 15);
  ASSERT_EQ(years[2].nodes.size(), 3u);
  EXPECT_EQ(name_of(years[2].nodes[0]), "Y");
  EXPECT_EQ(name_of(years[2].nodes[1]), "X");
  ASSERT_EQ(years[2].joins.size(), 1u);
  EXPECT_EQ(years[2].joins[0][1], 2);
}

struct Fault {
  const char* what;
  std::function<void(Records&)> change;
  std::int64_t line;
  std::string message;
};

TEST(ReadPlotRecords, MalformedRecordsNameTheirLine) {
  const std::vector<Fault> faults = {
      {"abscissa in asterisks",
       [](Records& r) { r[1] = "*******  1.000   1 A          2 B       "; }, 2,
       "expected a number in columns 1-7, found \"*******\""},
      {"blank ordinate", [](Records& r) { r[8] = "  1.500"; }, 9,
       "ordinate of point 2 of fusion 2 (columns 8-14) is blank"},
      {"file cut short", [](Records& r) { r.resize(11); }, 12,
       "the file ends where another record is needed"},
      {"letters for NL", [](Records& r) { r[0] = " 1992   x3 THREE SITES"; }, 1,
       "expected a whole number in columns 6-10, found \"   x3\""},
      {"point in the sixth record", [](Records& r) { r[6] = "  1.500  2.000   4 LGp__4  "; }, 7,
       "record 6 of fusion 1 should hold no point"},
      {"new group misnumbered", [](Records& r) { r[3] = "  1.500  2.000   5 LGp__4     3 C"; }, 4,
       "point 3 of fusion 1 should be node 4, found 5"},
      {"unknown node", [](Records& r) { r[11] = "  3.000  1.000   9 C       "; }, 12,
       "fusion 2 joins node 9, which is neither a location nor an earlier group"},
      {"node joined twice", [](Records& r) { r[11] = "  3.000  1.000   1 A       "; }, 12,
       "fusion 2 joins node 1, which is joined already"},
      {"group joined before it is made",
       [](Records& r) { r[1] = "  2.000  1.000   5 A          2 B       "; }, 2,
       "fusion 1 joins node 5, which is neither a location nor an earlier group"},
      {"letters in a point's node number",
       [](Records& r) { r[3] = "  1.500  2.000  x4 LGp__4     3 C"; }, 4,
       "expected the node number of point 3 of fusion 1 in columns 16-18, found \" x4\""},
      {"letters in a listing entry's node number",
       [](Records& r) { r[2] = "  2.000  2.000               x1 A       "; }, 3,
       "expected a node number in columns 29-31, found \" x1\""},
      {"point without its number",
       [](Records& r) { r[5] = "  1.000  1.000     B          5 LGp__5  "; }, 6,
       "point 5 of fusion 1 carries no node number"},
      {"location listed twice",
       [](Records& r) { r[2] = "  2.000  2.000                2 A       "; }, 3,
       "location 2 is listed twice"},
      {"group listed out of place",
       [](Records& r) { r[4] = "  1.000  2.000                5 LGp__4  "; }, 5,
       "node listing entry 4 should be node 4, found 5"},
      {"empty record after the last year", [](Records& r) { r.push_back(""); }, 14,
       "expected a year header"},
      {"more locations than three columns number", [](Records& r) { r[0] = " 1992  600"; }, 1,
       "year 1992 has 600 locations; the plot records number at most 500"},
      {"fewer than no locations", [](Records& r) { r[0] = " 1992   -3"; }, 1,
       "year 1992 has -3 locations"},
      // Points 2 and 4 are the corners of their bracket, and a group joins
      // a later fusion where its own fusion put it.
      {"corner off its bracket", [](Records& r) { r[2] = "  2.000  2.500                1 A"; }, 3,
       "point 2 of fusion 1 stands at (2.000, 2.500), not at the corner (2.000, 2.000) of its "
       "bracket"},
      {"far corner off its bracket", [](Records& r) { r[10] = "  2.000  3.000"; }, 11,
       "point 4 of fusion 2 stands at (2.000, 3.000), not at the corner (3.000, 3.000)"},
      {"group joined away from where it was made",
       [](Records& r) {
         r[7] = "  1.250  2.000   4 LGp__4  ";
         r[8] = "  1.250  3.000";
       },
       8, "node 4 stands at (1.250, 2.000) here and at (1.500, 2.000) in line 4"},
  };
  for (const Fault& fault : faults) {
    Records records = three_site_plot_records();
    fault.change(records);
    try {
      read_plot_records(joined_records(records), "J.PCL");
      ADD_FAILURE() << fault.what << ": no error";
    } catch (const records::LocatedError& error) {
      EXPECT_EQ(error.file(), "J.PCL") << fault.what;
      EXPECT_EQ(error.line(), fault.line) << fault.what;
      EXPECT_NE(std::string(error.what()).find(fault.message), std::string::npos)
          << fault.what << ": " << error.message();
    }
  }
}

// A year the job holds again is counted from 2, wherever it comes again.
TEST(YearColumns, RepeatedYearsCountFromTwo) {
  const std::vector<std::int32_t> years = {1988, 1989, 1988, 92, 1988, 1989};
  EXPECT_EQ(year_columns(years), (std::vector<std::string>{"1988", "1989", "1988-2", "92",
                                                           "1988-3", "1989-2"}));
  EXPECT_TRUE(year_columns({}).empty());
}

TEST(LocatedError, MessageNamesFileLineAndColumn) {
  EXPECT_EQ(records::LocatedError("J.PCL", 7, 16, "what is wrong").message(),
            "J.PCL:7:16: what is wrong");
  EXPECT_EQ(records::LocatedError("J.PCL", 7, 0, "what is wrong").message(),
            "J.PCL:7: what is wrong");
  EXPECT_EQ(records::LocatedError("J.CLS", 0, 0, "what is wrong").message(),
            "J.CLS: what is wrong");
}

// MAXL 31 puts the elimination vector on two records; they are skipped.
TEST(ReadClusterRecords, LevelsAfterTheEliminationRecords) {
  const ClusterValues values =
      read_cluster_records(joined_records(three_site_cluster_records()), "J.CLS");
  EXPECT_EQ(values.title, "THREE SITES");
  EXPECT_EQ(values.strategy, 1);
  ASSERT_EQ(values.years.size(), 1u);
  const ClusterYear& year = values.years[0];
  EXPECT_EQ(year.year, 1992);
  EXPECT_EQ(year.label, "YR1992");
  EXPECT_EQ(year.locations, 3);
  ASSERT_EQ(year.fusions.size(), 2u);
  EXPECT_EQ(year.fusions[1].first, 4);
  EXPECT_EQ(year.fusions[1].second, 3);
  EXPECT_EQ(year.fusions[1].made, 5);
  EXPECT_DOUBLE_EQ(year.fusions[0].level, 1.0);
  EXPECT_DOUBLE_EQ(year.fusions[1].level, 2.0);

  // Every fusion record is a line of its own after the elimination records.
  EXPECT_EQ(year.fusions_line, 9);
  const auto plot = read_plot_records(joined_records(three_site_plot_records()), "J.PCL");
  EXPECT_NO_THROW(check_same_fusions(plot, values, "J.PCL", "J.CLS"));
}

TEST(ReadClusterRecords, FaultsAndMismatchesNameTheirLine) {
  const std::vector<Fault> faults = {
      {"fusion record without its plus sign",
       [](Records& r) { r[8] = "      1 x   2 =   4   0.10000000E+01"; }, 9,
       "expected \"+\" in column 9, found \"x\""},
      {"level in asterisks", [](Records& r) { r[9] = "      4 +   3 =   5 ****************"; }, 10,
       "expected a number in columns 21-36, found \"****************\""},
      {"fusion of other groups", [](Records& r) { r[8] = "      2 +   1 =   4   0.10000000E+01"; },
       9, "fusion 2 + 1 = 4 does not match J.PCL:2 (1 + 2 = 4)"},
      {"fusion with another second group",
       [](Records& r) { r[9] = "      4 +   2 =   5   0.20000000E+01"; }, 10,
       "fusion 4 + 2 = 5 does not match J.PCL:8 (4 + 3 = 5)"},
      {"another year", [](Records& r) { r[4] = "  1993    YR1993  "; }, 5,
       "year 1993 with 3 locations does not match year 1992 with 3 locations at J.PCL:1"},
      {"file cut inside a year", [](Records& r) { r.pop_back(); }, 10,
       "the file ends where another record is needed"},
      {"file cut after a year record", [](Records& r) { r.resize(5); }, 6,
       "the file ends where another record is needed"},
      {"no sequence record", [](Records& r) { r.resize(3); }, 4,
       "the file ends where another record is needed"},
      {"more locations than MAXL",
       [](Records& r) { r[0] = "     1     2     6    92    92     1     3"; }, 6,
       "year 1992 has 3 locations, more than MAXL 2"},
      {"two year groups for one",
       [](Records& r) {
         const Records year(r.begin() + 4, r.end());
         r.insert(r.end(), year.begin(), year.end());
       },
       0, "holds 2 year groups, J.PCL 1"},
      {"MAXL in asterisks", [](Records& r) { r[0] = "     1******     6    92    92"; }, 1,
       "expected a whole number in columns 7-12, found \"******\""},
  };
  for (const Fault& fault : faults) {
    Records records = three_site_cluster_records();
    fault.change(records);
    const auto plot = read_plot_records(joined_records(three_site_plot_records()), "J.PCL");
    try {
      check_same_fusions(plot, read_cluster_records(joined_records(records), "J.CLS"), "J.PCL",
                         "J.CLS");
      ADD_FAILURE() << fault.what << ": no error";
    } catch (const records::LocatedError& error) {
      EXPECT_EQ(error.file(), "J.CLS") << fault.what;
      EXPECT_EQ(error.line(), fault.line) << fault.what;
      EXPECT_NE(std::string(error.what()).find(fault.message), std::string::npos)
          << fault.what << ": " << error.message();
    }
  }
}

}  // namespace
}  // namespace metclust::formats
