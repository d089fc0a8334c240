// The jobs kit: the one rule of location names, and the years of a job
// built from its records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/location_names.hpp"
#include "jobs/years.hpp"
#include "support/job_files.hpp"
#include "records/located_error.hpp"

namespace metclust::jobs {
namespace {

// The three-location year of the plot tests, written out by hand.
namespace sites = metclust::testing;

TEST(LocationName, OneRuleForEveryProgram) {
  struct Case {
    std::string field;
    bool named;
    std::string shown;  // as location 3
  };
  const Case cases[] = {
      {"ROME    ", true, "ROME"},
      {"ROME", true, "ROME"},
      {"  ROME  ", true, "ROME"},  // blanks at both ends do not count
      {"A B     ", true, "A B"},
      {"        ", false, "(location 3)"},
      {"", false, "(location 3)"},  // a year of one location: no field at all
      {"Z\xC3\xBC      ", true, "Z\xC3\xBC"},
      {"Zu\xCC\x88     ", true, "Z\xC3\xBC"},     // the same letter typed as two: one name
      {"A\xFF      ", true, "A\xEF\xBF\xBD"},  // not UTF-8
      {"\tX      ", true, "\xEF\xBF\xBDX"},   // a control character
      {"(3)     ", true, "(3)"},  // a real name, which no unnamed location is called
  };
  for (const Case& c : cases) {
    EXPECT_EQ(has_name(c.field), c.named) << '"' << c.field << '"';
    EXPECT_EQ(location_name(c.field, 3), c.shown) << '"' << c.field << '"';
    if (c.named) {
      EXPECT_EQ(name_text(c.field), c.shown) << '"' << c.field << '"';
    }
  }
}

TEST(YearStem, JobNameAndColumn) {
  Year year;
  year.column = "1988-2";
  EXPECT_EQ(year_stem("TRIAL", year), "TRIAL-1988-2");
}

std::vector<formats::PlotYear> plot_years(const std::vector<std::string>& records) {
  return formats::read_plot_records(sites::joined_records(records), "J.PCL");
}

// The three sites, the same year again, and a year of one location.
TEST(JobYears, NamesColumnsAndPlacesOfEachYear) {
  std::vector<std::string> records = sites::three_site_plot_records();
  std::vector<std::string> again = sites::three_site_plot_records();
  again[1].replace(32, 8, sites::padded("", 8));  // location 2 without a name
  again[2].replace(32, 8, sites::padded(" C", 8));  // location 1 named as location 3
  records.insert(records.end(), again.begin(), again.end());
  records.push_back(" 1993    1 " + sites::padded("THREE SITES", 50));

  const std::vector<Year> years = job_years(plot_years(records), nullptr, "J.PCL", "J.CLS");
  ASSERT_EQ(years.size(), 3u);
  EXPECT_EQ(years[0].column, "1992");
  EXPECT_EQ(years[1].column, "1992-2");
  EXPECT_EQ(years[2].column, "1993");
  EXPECT_EQ(years[1].line, 14);

  // Names by location number; groups as the listing names them.
  EXPECT_EQ(years[0].names, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_TRUE(years[0].unnamed.empty());
  EXPECT_EQ(years[0].group_names, (std::vector<std::string>{"LGp__4", "LGp__5"}));
  // " C" is C, which location 1 has before location 3: told apart by number.
  EXPECT_EQ(years[1].names, (std::vector<std::string>{"C", "(location 2)", "C (location 3)"}));
  EXPECT_EQ(years[1].unnamed, (std::vector<std::int32_t>{2}));
  EXPECT_EQ(years[1].doubled, (std::vector<std::pair<std::int32_t, std::int32_t>>{{3, 1}}));
  EXPECT_EQ(name_notes(years[1], "J-1992-2"),
            (std::vector<std::string>{
                "J-1992-2: location 2 has no name; it is called (location 2)",
                "J-1992-2: locations 1 and 3 are both named 'C'; location 3 is called "
                "'C (location 3)'"}));
  EXPECT_EQ(years[2].names, (std::vector<std::string>{"(location 1)"}));
  EXPECT_EQ(years[2].unnamed, (std::vector<std::int32_t>{1}));
  EXPECT_TRUE(name_notes(years[2], "J-1993").empty());

  // Full names by name; a name twice takes that of its first location.
  std::vector<Year> named = years;
  FullNames full;
  full.by_name = {{"A", "Ames"}, {"C", "Crookston"}};
  give_full_names(named, full);
  EXPECT_EQ(named[0].full_names, (std::vector<std::string>{"Ames", "", "Crookston"}));
  EXPECT_EQ(named[1].full_names, (std::vector<std::string>{"Crookston", "", "Crookston"}));
  EXPECT_EQ(named[2].full_names, (std::vector<std::string>{""}));
  EXPECT_TRUE(years[2].places.empty());
  EXPECT_EQ(years[2].tree.locations(), 1);

  // Without .CLS the fusions stand at their fusion numbers.
  const Year& year = years[0];
  EXPECT_FALSE(year.at_levels);
  EXPECT_EQ(year.label, "");
  EXPECT_EQ(year.tree.order(), (std::vector<std::int32_t>{2, 1, 3}));
  EXPECT_EQ(year.tree.level(1), 2.0);
  ASSERT_EQ(year.places.size(), 5u);
  EXPECT_EQ(year.places[0].x, 2.0F);  // A, second in dendrogram order
  EXPECT_EQ(year.places[4].x, 2.25F);
  EXPECT_EQ(year.places[4].y, 3.0F);
}

TEST(JobYears, LevelsAndLabelFromTheClsFile) {
  const formats::ClusterValues values =
      formats::read_cluster_records(sites::joined_records(sites::three_site_cluster_records()), "J.CLS");
  const std::vector<Year> years =
      job_years(plot_years(sites::three_site_plot_records()), &values, "J.PCL", "J.CLS");
  ASSERT_EQ(years.size(), 1u);
  EXPECT_TRUE(years[0].at_levels);
  EXPECT_EQ(years[0].label, "YR1992");
  EXPECT_EQ(years[0].tree.level(0), 1.0);
  EXPECT_EQ(years[0].tree.level(1), 2.0);
}

// A listing whose locations are not in the order the fusions give.
TEST(JobYears, ListingOutOfOrderIsAFaultOfItsRecord) {
  std::vector<std::string> records = sites::three_site_plot_records();
  const std::string first = records[1].substr(28);
  records[1].replace(28, std::string::npos, records[2].substr(28));
  records[2].replace(28, std::string::npos, first);
  try {
    job_years(plot_years(records), nullptr, "J.PCL", "J.CLS");
    ADD_FAILURE() << "no error";
  } catch (const records::LocatedError& error) {
    EXPECT_EQ(error.message(),
              "J.PCL:2:29: node listing entry 1 is location 1, the fusions put location 2 there");
  }
}

}  // namespace
}  // namespace metclust::jobs
