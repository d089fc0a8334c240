// The R lines of docs/import.md for the three measures, run in R on trial
// results with missing values: each gives, for every pair of locations, the
// proximity that metclust-import writes into the job (to the 8 significant
// digits of the .EMA file). Skipped, with the reason, where R is missing.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "import/import_cli.hpp"
#include "support/job_runner.hpp"
#include "support/records_of.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::import {
namespace {

namespace fs = std::filesystem;

bool works(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

double number(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The page's line that makes `tab`, and the R expression of each measure
// (the last code span of its table row).
struct PageLines {
  std::string table;
  std::map<std::string, std::string> measures;
};

PageLines page_lines() {
  const std::string page =
      testing::read_bytes(fs::path(METCLUST_SOURCE_DIR) / "docs" / "import.md");
  PageLines lines;
  const std::size_t tab = page.find("`tab <- ");
  if (tab != std::string::npos) lines.table = page.substr(tab + 1, page.find('`', tab + 1) - tab - 1);
  for (const std::string_view row : testing::records_of(page, "\n")) {
    for (const char* measure : {"euclidean", "centred", "correlation"}) {
      if (row.rfind(std::string("| `") + measure + "` |", 0) != 0) continue;
      const std::size_t end = row.rfind('`');
      const std::size_t start = row.rfind('`', end - 1);
      lines.measures[measure] = std::string(row.substr(start + 1, end - start - 1));
    }
  }
  return lines;
}

// Proximities by pair of names from the one year of an .EMA file: the
// matrix rows are the records with numbers in E format.
std::map<std::pair<std::string, std::string>, double> ema_matrix(const std::string& ema) {
  std::vector<std::string> names;
  std::map<std::pair<std::string, std::string>, double> pairs;
  for (std::string_view record : testing::records_of(ema)) {
    if (record.size() < 16 || (record.find("E+") == std::string_view::npos &&
                                   record.find("E-") == std::string_view::npos)) {
      continue;
    }
    names.push_back(trimmed(record.substr(7, 8)));
    std::istringstream values{std::string(record.substr(15))};
    std::string value;
    for (std::size_t k = 0; values >> value && k + 1 < names.size(); ++k) {
      pairs[{names[k], names.back()}] = pairs[{names.back(), names[k]}] = number(value);
    }
  }
  return pairs;
}

TEST(ImportPage, TheRLinesOfTheMeasuresGiveTheJobsProximities) {
  if (!works("Rscript -e 'invisible(0)'")) GTEST_SKIP() << "R (Rscript) is not installed";
  const PageLines lines = page_lines();
  ASSERT_FALSE(lines.table.empty()) << "docs/import.md makes no tab";
  ASSERT_EQ(lines.measures.size(), 3u) << "docs/import.md lacks a measure's R line";

  testing::ScratchFolder folder;
  // Five locations, seven genotypes, four values missing.
  const char* locations[] = {"Ames", "Brook", "Cairns", "Dubbo", "Emerald"};
  std::string csv = "year,location,genotype,value\n";
  for (int l = 0; l < 5; ++l) {
    for (int g = 0; g < 7; ++g) {
      if ((l * 7 + g) % 9 == 4) continue;
      const double value = 20.0 + ((l + 3) * (g + 5) * 37 % 101) / 4.0 + (l == 2 ? 0.125 * g : 0.0);
      csv += "2001," + std::string(locations[l]) + ",G" + std::to_string(g + 1) + "," +
             std::to_string(value) + "\n";
    }
  }
  folder.put("trials.csv", csv);

  for (const auto& [measure, expression] : lines.measures) {
    SCOPED_TRACE(measure);
    std::ostringstream out, err;
    const std::vector<std::string> arguments = {"--trials", folder.file("trials.csv"), "--measure",
                                                measure, "--force", folder.file("JOB")};
    ASSERT_EQ(run_import(arguments, out, err), 0) << err.str();
    const auto job = ema_matrix(folder.take("JOB.EMA"));
    ASSERT_EQ(job.size(), 20u);

    folder.put("measure.R", "d <- read.csv('trials.csv', stringsAsFactors = FALSE)\n" + lines.table +
                                "\nm <- as.matrix(" + expression +
                                ")\n"
                                "for (a in colnames(tab)) for (b in colnames(tab)) if (a < b)\n"
                                "  cat(a, b, sprintf('%.17g', m[a, b]), '\\n')\n");
    const testing::RunOutcome r =
        testing::run_program("/bin/sh", {"-c", "Rscript measure.R"}, folder.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t checked = 0;
    for (const std::string_view line : testing::records_of(r.out, "\n")) {
      std::istringstream fields{std::string(line)};
      std::string a, b, value;
      if (!(fields >> a >> b >> value)) continue;
      const double in_r = number(value);
      const double in_job = job.at({a, b});
      EXPECT_LE(std::fabs(in_r - in_job), 6e-8 * std::fabs(in_r)) << a << " " << b << ": R " << value;
      ++checked;
    }
    EXPECT_EQ(checked, 10u) << r.out;
  }
}

}  // namespace
}  // namespace metclust::import
