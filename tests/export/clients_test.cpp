// The files of metclust-export read by the clients they are written for: the
// R and Python lines of its page, docs/export.md, run unchanged but for the
// year they read, in R (with ape) and in Python (with scipy and Biopython),
// and what those clients make of the files is compared with JOB-groups.csv
// and with R's hclust and scipy's linkage run on the same matrices. Where R,
// ape, scipy or Biopython is missing, the test says so and is skipped.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plot/plot_support.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::exporting {
namespace {

namespace fs = std::filesystem;
using metclust::testing::ScratchFolder;
namespace support = metclust::plot::testing;

bool works(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The first code block of `language` on metclust-export's page,
// docs/export.md, without its line "stem <- ..." or "stem = ...", which the
// test sets for each year itself.
std::string page_block(const std::string& language) {
  const std::string page =
      support::read_bytes(fs::path(METCLUST_SOURCE_DIR) / "docs" / "export.md");
  const std::size_t start = page.find("```" + language + "\n");
  if (start == std::string::npos) return {};
  const std::size_t end = page.find("```\n", start + 4);
  if (end == std::string::npos) return {};
  std::string block;
  for (const std::string& line : support::lines(
           page.substr(start + language.size() + 4, end - start - language.size() - 4))) {
    if (line.rfind("stem ", 0) == 0) continue;
    block += line + "\n";
  }
  return block;
}

std::string indented(const std::string& text) {
  std::string out;
  for (const std::string& line : support::lines(text)) out += "    " + line + "\n";
  return out;
}

// A job of one strategy: its folder, its years and the name of the same
// method in R's hclust and in scipy's linkage ("" when it has none that
// makes the same tree: scipy's median, centroid and ward work on squared
// distances).
struct Job {
  std::string folder;
  int strategy;
  std::string r_method;
  std::string scipy_method;
  std::vector<support::YearInput> years;
};

std::vector<Job> jobs() {
  std::vector<support::YearInput> years = {support::scattered(1992, 24, 13),
                                           support::scattered(1993, 9, 21),
                                           support::scattered(1993, 16, 5)};
  // Names that need quotes in Newick and care in CSV, a quote (which the
  // Newick file writes as a typographic apostrophe), a blank name and a
  // name twice (both called by their number too).
  years[1].names[0] = "NEW YORK";
  years[1].names[1] = "A_B";
  years[1].names[2] = "X,Y";
  years[1].names[3] = "(P)";
  years[1].names[4] = "O'NEILL";
  years[1].names[5] = "";
  years[1].names[6] = "NEW YORK";
  return {{"nearest", 1, "single", "single", years},
          {"furthest", 2, "complete", "complete", years},
          {"average", 3, "average", "average", years},
          {"median", 4, "median", "", years},
          {"centroid", 5, "centroid", "", years},
          {"wpgma", 6, "mcquitty", "weighted", years},
          {"sum_of_squares", 8, "ward.D", "", years}};
}

// Writes each year's matrix as the job read it (six decimals), full and
// square, for hclust and linkage to cluster again.
void write_matrices(const fs::path& folder, const Job& job, const std::vector<std::string>& stems) {
  for (std::size_t y = 0; y < job.years.size(); ++y) {
    const support::YearInput& year = job.years[y];
    const std::size_t n = year.names.size();
    std::string csv;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) {
        if (j > 0) csv += ",";
        csv += i == j ? "0" : support::fixed(year.proximity(std::min(i, j), std::max(i, j)), 6);
      }
      csv += "\n";
    }
    support::write_bytes(folder / (stems[y] + "-matrix.csv"), csv);
  }
}

// A level for --height: one that cuts through an inversion when a year has
// one (a fusion below a group it joins: halfway between the two levels),
// 1.5 otherwise.
std::optional<double> inversion_level(const std::string& cls) {
  for (const auto& fusions : support::listed_fusions(cls)) {
    const int n = static_cast<int>(fusions.size()) + 1;
    for (const support::ListedFusion& fusion : fusions) {
      for (const int child : {fusion.first, fusion.second}) {
        if (child <= n) continue;
        const double below = fusions[static_cast<std::size_t>(child - n - 1)].level;
        if (fusion.level < below) return fusion.level / 2 + below / 2;
      }
    }
  }
  return std::nullopt;
}

std::string r_script(const Job& job, const std::vector<std::string>& stems, const std::string& h) {
  std::string list;
  for (const std::string& stem : stems) list += (list.empty() ? "\"" : ", \"") + stem + "\"";
  return "suppressMessages(library(ape))\n"
         "method <- \"" +
         job.r_method +
         "\"\n"
         "fails <- 0\n"
         "check <- function(ok, what) if (!isTRUE(ok)) {\n"
         "  cat(\"FAIL\", stem, what, \"\\n\"); fails <<- fails + 1 }\n"
         "rows <- function(file) read.csv(file, colClasses = c(year = \"character\",\n"
         "  name = \"character\"), na.strings = character())\n"
         "k_rows <- rows(\"JOB-groups.csv\")\n"
         "h_rows <- rows(\"../h/JOB-groups.csv\")\n"
         "for (stem in c(" +
         list + ")) {\n" + page_block("r") +
         "  year <- sub(\"^JOB-\", \"\", stem)\n"
         "  check(identical(unname(groups), k_rows$group[k_rows$year == year]), \"cutree k\")\n"
         "  if (!is.unsorted(hc$height))\n"
         "    check(identical(unname(cutree(hc, h = " +
         h +
         ")), h_rows$group[h_rows$year == year]),\n"
         "          \"cutree h\")\n"
         "  check(identical(order.dendrogram(as.dendrogram(hc)), hc$order), \"order\")\n"
         "  co <- as.matrix(cophenetic(hc))\n"
         "  check(max(abs(levels[loc$name, loc$name] - co)) <= 1e-9 * max(1, abs(co)), "
         "\"newick\")\n"
         "  if (method != \"\") {\n"
         "    D <- as.matrix(read.csv(paste0(stem, \"-matrix.csv\"), header = FALSE))\n"
         "    ref <- hclust(as.dist(D), method = method)\n"
         "    check(identical(hc$merge, ref$merge), \"merge of hclust\")\n"
         "    check(identical(hc$order, ref$order), \"order of hclust\")\n"
         "    check(max(abs(as.matrix(cophenetic(ref)) - co)) <= 1e-6 * max(1, abs(co)),\n"
         "          \"cophenetic of hclust\")\n"
         "    check(identical(unname(cutree(ref, k = 4)), unname(groups)), \"cutree of hclust\")\n"
         "  }\n"
         "}\n"
         "cat(\"checked\", length(c(" +
         list + ")), \"years,\", fails, \"failures\\n\")\n";
}

std::string python_script(const Job& job, const std::vector<std::string>& stems,
                          const std::string& h) {
  std::string list;
  for (const std::string& stem : stems) list += (list.empty() ? "\"" : ", \"") + stem + "\"";
  return "import csv\n"
         "import numpy as np\n"
         "from scipy.cluster.hierarchy import cophenet, fcluster, is_valid_linkage, leaves_list, "
         "linkage\n"
         "from scipy.spatial.distance import squareform\n"
         "method = \"" +
         job.scipy_method +
         "\"\n"
         "fails = 0\n"
         "def check(ok, what):\n"
         "    global fails\n"
         "    if not ok:\n"
         "        print('FAIL', stem, what)\n"
         "        fails += 1\n"
         "def rows(path):\n"
         "    with open(path, newline='', encoding='utf-8') as f:\n"
         "        return list(csv.DictReader(f))\n"
         "def numbered(labels):\n"
         "    seen = {}\n"
         "    return [seen.setdefault(label, len(seen) + 1) for label in labels]\n"
         "k_rows = rows('JOB-groups.csv')\n"
         "h_rows = rows('../h/JOB-groups.csv')\n"
         "stems = [" +
         list +
         "]\n"
         "for stem in stems:\n" +
         indented(page_block("python")) +
         "    year = stem[4:]\n"
         "    check(is_valid_linkage(Z), 'valid linkage')\n"
         "    located = sorted(rows(stem + '-locations.csv'), key=lambda r: int(r['order']))\n"
         "    check(list(order) == [int(r['number']) for r in reversed(located)], 'leaves_list')\n"
         "    by_h = fcluster(Z, " +
         h +
         ", criterion='distance')\n"
         "    check(numbered(by_h) == [int(r['group']) for r in h_rows if r['year'] == year],\n"
         "          'distance cut')\n"
         "    check(numbered(groups) == [int(r['group']) for r in k_rows if r['year'] == year],\n"
         "          'groups by fusion order')\n"
         "    levels = squareform(cophenet(Z))\n"
         "    for i in range(min(6, len(names))):\n"
         "        for j in range(i + 1, len(names)):\n"
         "            check(abs(tree.distance(names[i], names[j]) / 2 - levels[i, j]) <= 1e-9 *\n"
         "                  max(1, abs(levels[i, j])), 'newick %d %d' % (i + 1, j + 1))\n"
         "    if method:\n"
         "        D = np.loadtxt(stem + '-matrix.csv', delimiter=',')\n"
         "        ref = linkage(squareform(D, checks=False), method)\n"
         "        check(np.array_equal(ref[:, :2], Z[:, :2]), 'clusters of linkage')\n"
         "        check(np.array_equal(leaves_list(ref), leaves_list(Z)), 'leaves_list of linkage')\n"
         "        check(np.max(np.abs(cophenet(ref) - cophenet(Z))) <= 1e-6 * max(1, np.max(Z[:, "
         "2])),\n"
         "              'cophenetic of linkage')\n"
         "print('checked', len(stems), 'years,', fails, 'failures')\n";
}

// Runs every job through metclust and metclust-export (--groups 4 into k/,
// --height H into h/) and hands the folder of each, and H, to `client`. H
// cuts through an inversion where the job has one, and the median and
// centroid jobs must have one.
template <class Client>
void for_each_exported_job(const ScratchFolder& folder, Client client) {
  for (const Job& job : jobs()) {
    SCOPED_TRACE(job.folder);
    const fs::path at = folder.path() / job.folder;
    fs::create_directories(at);
    ASSERT_EQ(support::run_job(at, "Trial " + job.folder, job.years, job.strategy).status, 0);
    const std::optional<double> inversion = inversion_level(support::read_bytes(at / "JOB.CLS"));
    if (job.r_method == "median" || job.r_method == "centroid") {
      ASSERT_TRUE(inversion) << "the job should hold an inversion";
    }
    // Shortest text of H, so that the clients read the same number.
    char digits[32];
    const std::string h(digits,
                        std::to_chars(digits, digits + sizeof digits, inversion.value_or(1.5)).ptr);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--groups", "4", "-o", "k", "JOB"},
          std::vector<std::string>{"--height", h, "-o", "h", "JOB"}}) {
      const auto run = support::run_program(support::export_program(), arguments, at);
      ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::vector<std::string> stems = {"JOB-1992", "JOB-1993", "JOB-1993-2"};
    write_matrices(at / "k", job, stems);
    client(job, at / "k", stems, h);
  }
}

void expect_clean(const support::Outcome& run, const std::string& client) {
  EXPECT_EQ(run.status, 0) << client << ": " << run.err << run.out;
  EXPECT_EQ(run.out.find("FAIL"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("checked 3 years, 0 failures"), std::string::npos)
      << client << ": " << run.out << run.err;
}

TEST(ExportClients, RReadsMergesAndNewick) {
  if (!works("Rscript -e 'library(ape)'"))
    GTEST_SKIP() << "R with the ape package is not installed";
  ASSERT_FALSE(page_block("r").empty()) << "docs/export.md has no R block";
  ScratchFolder folder;
  for_each_exported_job(folder, [](const Job& job, const fs::path& at,
                                   const std::vector<std::string>& stems, const std::string& h) {
    support::write_bytes(at / "check.R", r_script(job, stems, h));
    expect_clean(support::run_program("/bin/sh", {"-c", "Rscript check.R"}, at), "R");
  });
}

// Debian's scipy may sit beside another python3 that comes first on PATH.
std::optional<std::string> python_with_scipy() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (works(std::string(python) + " -c 'import scipy.cluster, Bio.Phylo'")) return python;
  }
  return std::nullopt;
}

TEST(ExportClients, ScipyReadsLinkageAndBiopythonNewick) {
  const std::optional<std::string> python = python_with_scipy();
  if (!python) GTEST_SKIP() << "python3 with scipy and Biopython is not installed";
  ASSERT_FALSE(page_block("python").empty()) << "docs/export.md has no Python block";
  ScratchFolder folder;
  for_each_exported_job(folder, [&](const Job& job, const fs::path& at,
                                    const std::vector<std::string>& stems, const std::string& h) {
    support::write_bytes(at / "check.py", python_script(job, stems, h));
    expect_clean(support::run_program("/bin/sh", {"-c", *python + " check.py"}, at), "scipy");
  });
}

}  // namespace
}  // namespace metclust::exporting
