// CSV -> metclust-import -> metclust: for every strategy the real program
// makes, year by year, the fusions that plain agglomeration makes on the
// CSV's matrix, at the same levels to the precision of the E16.8 fields
// that carry the matrix in the .EMA file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cluster/agglom.hpp"
#include "formats/capacity.hpp"
#include "formats/job_results.hpp"
#include "import/import_cli.hpp"
#include "records/packed.hpp"
#include "support/fusion_capture.hpp"
#include "support/programs.hpp"
#include "support/scratch_folder.hpp"
#include "text/csv.hpp"

namespace metclust::import {
namespace {

std::vector<testing::Fusion> plain_agglomeration(std::vector<double> matrix, std::int32_t n,
                                                 std::int32_t strategy) {
  testing::FusionCapture sink;
  const auto size = static_cast<std::size_t>(n);
  std::vector<std::int32_t> G(size), LABEL(size), HIST(2 * (size - 1));
  EXPECT_TRUE(cluster::AGGLOM(matrix, G, LABEL, HIST, n, 0.0, strategy, sink, cluster::PairSearch::Plain));
  return sink.fusions;
}

struct Year {
  std::int64_t year;
  std::vector<std::string> names;  // in the CSV's order
  std::vector<std::vector<double>> full;  // full[a][b] in that order
};

constexpr double kLargest = 50.0;

// Locations with names too long for the job, proximities drawn at random
// with all their digits, so that no two pairs tie.
Year random_year(std::int64_t year, const std::vector<std::string>& names, std::mt19937_64& random) {
  Year y{year, names, std::vector<std::vector<double>>(names.size(), std::vector<double>(names.size(), 0.0))};
  std::uniform_real_distribution<double> value(0.5, kLargest);
  for (std::size_t b = 1; b < names.size(); ++b) {
    for (std::size_t a = 0; a < b; ++a) y.full[a][b] = y.full[b][a] = value(random);
  }
  return y;
}

std::string matrix_csv(const Year& y) {
  text::CsvWriter csv;
  csv.text("");
  for (const std::string& name : y.names) csv.text(name);
  csv.end_row();
  for (std::size_t a = 0; a < y.names.size(); ++a) {
    csv.text(y.names[a]);
    for (const double value : y.full[a]) csv.number(value);
    csv.end_row();
  }
  return csv.take();
}

std::string long_csv(const std::vector<Year>& years) {
  text::CsvWriter csv;
  csv.text("year").text("location_a").text("location_b").text("proximity").end_row();
  for (const Year& y : years) {
    for (std::size_t b = 1; b < y.names.size(); ++b) {
      for (std::size_t a = 0; a < b; ++a) {
        // Either order, as a person might write them.
        const bool swap = (a + b) % 2 == 1;
        csv.integer(y.year).text(y.names[swap ? b : a]).text(y.names[swap ? a : b]).number(y.full[a][b]).end_row();
      }
    }
  }
  return csv.take();
}

// The master list of the job, as JOB-names.csv gives it: every location's
// full name at its number.
std::vector<std::string> master_list(const std::string& names_csv) {
  std::vector<std::string> master;
  const std::vector<text::CsvRow> rows = text::read_csv(names_csv, "JOB-names.csv");
  for (std::size_t r = 1; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r].fields[0].text, std::to_string(r));
    master.push_back(rows[r].fields[1].text);
  }
  return master;
}

// The year's matrix packed in the order the job holds its locations: that
// of the master list.
std::vector<double> job_matrix(const Year& y, const std::vector<std::string>& master) {
  std::vector<std::size_t> order(y.names.size());
  std::iota(order.begin(), order.end(), 0);
  const auto place = [&](std::size_t k) { return std::find(master.begin(), master.end(), y.names[k]) - master.begin(); };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return place(a) < place(b); });
  std::vector<double> packed(static_cast<std::size_t>(records::packed_size(static_cast<std::int64_t>(order.size()))));
  for (std::size_t j = 1; j < order.size(); ++j) {
    for (std::size_t i = 0; i < j; ++i) {
      packed[static_cast<std::size_t>(records::packed_index(static_cast<std::int64_t>(i + 1),
                                                            static_cast<std::int64_t>(j + 1)))] =
          y.full[order[i]][order[j]];
    }
  }
  return packed;
}

TEST(RoundTrip, MetclustFusesTheCsvMatrixAsPlainAgglomerationDoes) {
  const std::uint64_t seed = std::random_device{}();
  std::mt19937_64 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::vector<std::string> first_names, second_names;
  for (int k = 1; k <= 23; ++k) first_names.push_back("Experimental station " + std::to_string(k));
  // The second year: some of the same places in another order, and new ones.
  for (int k = 20; k >= 6; k -= 2) second_names.push_back("Experimental station " + std::to_string(k));
  second_names.push_back("Köln-Auweiler");
  second_names.push_back("Ås");
  const std::vector<Year> years = {random_year(2004, second_names, random), random_year(1995, first_names, random)};

  testing::ScratchFolder folder;
  folder.put("y1995.csv", matrix_csv(years[1]));
  folder.put("y2004.csv", matrix_csv(years[0]));
  folder.put("pairs.csv", long_csv(years));
  const std::vector<std::vector<std::string>> sources = {
      {"--matrix", "2004=" + folder.file("y2004.csv"), "--matrix", "1995=" + folder.file("y1995.csv")},
      {"--long", folder.file("pairs.csv")},
  };
  for (const std::vector<std::string>& source : sources) {
    std::vector<std::string> arguments = source;
    arguments.push_back("--force");
    arguments.push_back(folder.file("JOB"));
    std::ostringstream out, err;
    ASSERT_EQ(run_import(arguments, out, err), 0) << err.str();
    const std::vector<std::string> master = master_list(folder.take("JOB-names.csv"));
    ASSERT_EQ(master.size(), 25u);
    for (int strategy = 1; strategy <= 8; ++strategy) {
      const testing::RunOutcome run = testing::run_metclust_job(folder.path(), "JOB", strategy);
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.err, "") << "no report, no asterisks";
      const formats::ClusterValues cls = formats::read_cluster_records(folder.take("JOB.CLS"), "JOB.CLS");
      ASSERT_EQ(cls.years.size(), 2u);
      for (std::size_t y = 0; y < 2; ++y) {
        const Year& year = years[1 - y];  // earliest first
        EXPECT_EQ(cls.years[y].year, year.year);
        EXPECT_EQ(cls.years[y].label, std::to_string(year.year));
        const auto n = static_cast<std::int32_t>(year.names.size());
        const std::vector<testing::Fusion> expected = plain_agglomeration(job_matrix(year, master), n, strategy);
        ASSERT_EQ(cls.years[y].fusions.size(), expected.size());
        for (std::size_t s = 0; s < expected.size(); ++s) {
          const formats::FusionRecord& got = cls.years[y].fusions[s];
          const std::string where = source[0] + ", strategy " + std::to_string(strategy) + ", year " +
                                    std::to_string(year.year) + ", fusion " + std::to_string(s + 1);
          EXPECT_EQ(got.first, expected[s].first) << where;
          EXPECT_EQ(got.second, expected[s].second) << where;
          EXPECT_EQ(got.made, expected[s].made) << where;
          // Eight significant digits in the matrix (a relative error of up
          // to 5e-8, carried into a level with weights whose magnitudes sum
          // to at most 3) and in the level written.
          EXPECT_NEAR(got.level, expected[s].level, 5e-8 * (3 * kLargest + std::abs(expected[s].level)))
              << where;
        }
      }
    }
  }
}

// The largest job this build of metclust holds, every location with a long
// name: metclust takes it without refusing and clusters it.
TEST(RoundTrip, TheLargestJobThisBuildHolds) {
  const std::int64_t held = formats::kLocationsHeld;
  if (held > 2000) GTEST_SKIP() << "a build for " << held << " locations";
  testing::ScratchFolder folder;
  std::string csv = "year,location,genotype,value\n";
  for (std::int64_t k = 1; k <= held; ++k) {
    for (int g = 1; g <= 2; ++g) {
      csv += "2004,Station number " + std::to_string(k) + ",G" + std::to_string(g) + "," +
             std::to_string(k * g % 97) + ".5\n";
    }
  }
  folder.put("t.csv", csv);
  std::ostringstream out, err;
  const std::vector<std::string> arguments = {"--trials", folder.file("t.csv"), "--measure", "euclidean",
                                              folder.file("JOB")};
  ASSERT_EQ(run_import(arguments, out, err), 0) << err.str();
  const testing::RunOutcome run = testing::run_metclust_job(folder.path(), "JOB", 3);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.find("INCREASE DIMENSION"), std::string::npos);
  const formats::ClusterValues cls = formats::read_cluster_records(folder.take("JOB.CLS"), "JOB.CLS");
  ASSERT_EQ(cls.years.size(), 1u);
  EXPECT_EQ(cls.years[0].fusions.size(), static_cast<std::size_t>(held - 1));
}

}  // namespace
}  // namespace metclust::import
