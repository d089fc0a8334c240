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
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "support/job_files.hpp"
#include "support/pictures.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::exporting {
namespace {

namespace fs = std::filesystem;
using metclust::testing::ScratchFolder;
namespace support = metclust::testing;

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

// The jobs' proximities have 10 decimals (up to 12 significant digits),
// more than the 8 of the .CLS file, so only the engine's levels are R's.
constexpr int kDecimals = 10;

// Writes each year's matrix as the job read it, full and square, for
// hclust and linkage to cluster again.
void write_matrices(const fs::path& folder, const Job& job, const std::vector<std::string>& stems) {
  for (std::size_t y = 0; y < job.years.size(); ++y) {
    const support::YearInput& year = job.years[y];
    const std::size_t n = year.names.size();
    std::string csv;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) {
        if (j > 0) csv += ",";
        csv += i == j ? "0"
                      : support::fixed(year.proximity(std::min(i, j), std::max(i, j)), kDecimals);
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
         "    check(is.integer(m$tie) && all(m$tie == 0), \"no ties\")\n"
         "    # The engine's levels: R's to rounding (the 8 digits of the .CLS\n"
         "    # file are 1e-8 away).\n"
         "    check(max(abs(hc$height - ref$height)) <= 1e-13 * max(abs(ref$height)),\n"
         "          \"heights of hclust to rounding\")\n"
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
// centroid jobs must have one; otherwise it is the level of the tenth
// fusion of the first year as the merges file gives it, where a level to 8
// digits would cut on the wrong side of R's level about half the time.
template <class Client>
void for_each_exported_job(const ScratchFolder& folder, Client client) {
  for (const Job& job : jobs()) {
    SCOPED_TRACE(job.folder);
    const fs::path at = folder.path() / job.folder;
    fs::create_directories(at);
    ASSERT_EQ(support::run_job(at, "Trial " + job.folder, job.years, job.strategy, kDecimals).status,
              0);
    const std::optional<double> inversion = inversion_level(support::read_bytes(at / "JOB.CLS"));
    if (job.r_method == "median" || job.r_method == "centroid") {
      ASSERT_TRUE(inversion) << "the job should hold an inversion";
    }
    const auto by_groups =
        support::run_program(support::export_program(), {"--groups", "4", "-o", "k", "JOB"}, at);
    ASSERT_EQ(by_groups.status, 0) << by_groups.err;
    EXPECT_EQ(by_groups.err.find("8 significant digits"), std::string::npos) << by_groups.err;
    std::string h;
    if (inversion) {
      // Shortest text of H, so that the clients read the same number.
      char digits[32];
      h.assign(digits, std::to_chars(digits, digits + sizeof digits, *inversion).ptr);
    } else {
      const std::vector<std::string> rows = support::lines(support::read_bytes(at / "k" / "JOB-1992-merges.csv"));
      ASSERT_GT(rows.size(), 10u);
      const std::string& row = rows[10];
      const std::size_t third = row.find(',', row.find(',') + 1) + 1;
      h = row.substr(third, row.find(',', third) - third);
    }
    const auto by_level =
        support::run_program(support::export_program(), {"--height", h, "-o", "h", "JOB"}, at);
    ASSERT_EQ(by_level.status, 0) << by_level.err;
    const std::vector<std::string> stems = {"JOB-1992", "JOB-1993", "JOB-1993-2"};
    write_matrices(at / "k", job, stems);
    client(job, at / "k", stems, h);
  }
}

void expect_clean(const support::RunOutcome& run, const std::string& client) {
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

// Levels closer than the 8 digits of the .CLS file: three pairs at
// 1.0000000011, 1.0000000016 and 1.0000000023, the rest from 3 up. A cut
// between the first two levels keeps the other two pairs apart, as R's
// cutree of hclust on the same matrix does; at the .CLS file's levels, all
// 1.0000000, it would join all three.
TEST(ExportClients, RCutsAtLevelsCloserThanEightDigits) {
  if (!works("Rscript -e 'invisible(0)'")) GTEST_SKIP() << "R is not installed";
  ScratchFolder folder;
  support::YearInput year{2001, {"A", "B", "C", "D", "E", "F"}, [](std::size_t i, std::size_t j) {
                            if (i == 0 && j == 1) return 1.0000000011;
                            if (i == 2 && j == 3) return 1.0000000016;
                            if (i == 4 && j == 5) return 1.0000000023;
                            return 3.1234567891 + 0.37 * static_cast<double>(i * 6 + j);
                          }};
  const std::string h = "1.00000000135";
  for (const auto& [strategy, method] : std::vector<std::pair<int, std::string>>{
           {1, "single"}, {2, "complete"}, {3, "average"}}) {
    SCOPED_TRACE(method);
    const fs::path at = folder.path() / method;
    fs::create_directories(at);
    ASSERT_EQ(support::run_job(at, "Close", {year}, strategy, kDecimals).status, 0);
    const auto run = support::run_program(support::export_program(), {"--height", h, "JOB"}, at);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Job job{method, strategy, method, "", {year}};
    write_matrices(at, job, {"JOB-2001"});
    support::write_bytes(
        at / "cut.R",
        "g <- read.csv('JOB-groups.csv')\n"
        "D <- as.matrix(read.csv('JOB-2001-matrix.csv', header = FALSE))\n"
        "ref <- cutree(hclust(as.dist(D), method = '" + method + "'), h = " + h + ")\n"
        "m <- read.csv('JOB-2001-merges.csv', colClasses = c(height = 'character'))\n"
        "cat(if (identical(unname(ref), g$group)) 'same' else 'other', max(g$group),\n"
        "    m$height[1:3], '\\n')\n");
    const auto r = support::run_program("/bin/sh", {"-c", "Rscript cut.R"}, at);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "same 5 1.0000000011 1.0000000016 1.0000000023 \n");
  }
}

// Ties against R: years of whole-number proximities 1 to 9, where equal
// minima are common, and the three locations all at 1. Wherever a year's
// tie column is 0 throughout, R's hclust makes the same tree; on this data
// most years have ties, and R makes another tree of those (at least three
// years without ties and five with them are asked for). Nearest and furthest neighbour, whose levels are the
// matrix's own values in R too.
std::vector<support::YearInput> tie_heavy_years() {
  std::vector<support::YearInput> years;
  years.push_back({1900, {"A", "B", "C"}, [](std::size_t, std::size_t) { return 1.0; }});
  for (int y = 1; y <= 40; ++y) {
    support::YearInput year;
    year.year = 1900 + y;
    for (int k = 0; k < 4 + y % 7; ++k) year.names.push_back("L" + std::to_string(k + 1));
    year.proximity = [y](std::size_t i, std::size_t j) {
      return static_cast<double>((i * 7 + j * 13 + static_cast<std::size_t>(y) * 5 + i * j) % 9 + 1);
    };
    years.push_back(year);
  }
  return years;
}

TEST(ExportClients, RTreesDifferOnlyWhereTheTieColumnSaysSo) {
  if (!works("Rscript -e 'invisible(0)'")) GTEST_SKIP() << "R is not installed";
  ScratchFolder folder;
  const std::vector<support::YearInput> years = tie_heavy_years();
  for (const auto& [strategy, method] :
       std::vector<std::pair<int, std::string>>{{1, "single"}, {2, "complete"}}) {
    SCOPED_TRACE(method);
    const fs::path at = folder.path() / method;
    fs::create_directories(at);
    ASSERT_EQ(support::run_job(at, "Ties", years, strategy).status, 0);
    const auto run = support::run_program(support::export_program(), {"JOB"}, at);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("metclust-export: note: JOB-1900: fusion 1 was chosen among pairs at "
                           "equal proximities"),
              std::string::npos)
        << run.err;
    Job job{method, strategy, method, "", years};
    write_matrices(at, job, [&] {
      std::vector<std::string> stems;
      for (const auto& year : years) stems.push_back("JOB-" + std::to_string(year.year));
      return stems;
    }());
    support::write_bytes(at / "ties.R",
                         "fails <- 0; tied <- 0; differ <- 0\n"
                         "check <- function(ok, what) if (!isTRUE(ok)) {\n"
                         "  cat('FAIL', year, what, '\\n'); fails <<- fails + 1 }\n"
                         "for (year in 1900:1940) {\n"
                         "  stem <- paste0('JOB-', year)\n"
                         "  m <- read.csv(paste0(stem, '-merges.csv'))\n"
                         "  D <- as.matrix(read.csv(paste0(stem, '-matrix.csv'), header = FALSE))\n"
                         "  ref <- hclust(as.dist(D), method = '" + method + "')\n"
                         "  same <- identical(unname(as.matrix(m[, c('merge1', 'merge2')])), ref$merge)\n"
                         "  check(is.integer(m$tie) && all(m$tie %in% 0:1), 'tie column')\n"
                         "  if (any(m$tie == 1)) tied <- tied + 1\n"
                         "  if (!same) differ <- differ + 1\n"
                         "  check(same || any(m$tie == 1), 'another tree without a tie')\n"
                         "  if (year == 1900) {\n"
                         "    check(identical(m$tie, c(1L, 0L)), 'three at 1: ties')\n"
                         "    check(identical(c(m$merge1[1], m$merge2[1]), c(-2L, -3L)), 'ours')\n"
                         "    check(identical(ref$merge[1, ], c(-1L, -2L)), 'R')\n"
                         "  }\n"
                         "}\n"
                         "check(tied >= 5 && differ >= 3 && tied <= 38, 'enough of both')\n"
                         "cat('tied', tied, 'differ', differ, 'failures', fails, '\\n')\n");
    const auto r = support::run_program("/bin/sh", {"-c", "Rscript ties.R"}, at);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("failures 0"), std::string::npos) << r.out << r.err;
    std::cout << method << ": " << r.out;
  }
}

// Debian's scipy may sit beside another python3 that comes first on PATH.
std::optional<std::string> python_with_scipy() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (works(std::string(python) + " -c 'import scipy.cluster, Bio.Phylo'")) return python;
  }
  return std::nullopt;
}

// The page's scipy line for K groups on the tie-heavy years, with
// nearest neighbour, group average and centroid (inversions): the groups of
// JOB-groups.csv in every year. (maxclust, which the page advises against,
// is counted for the record.)
TEST(ExportClients, ScipyCutsTieHeavyYearsByFusionOrder) {
  const std::optional<std::string> python = python_with_scipy();
  if (!python) GTEST_SKIP() << "python3 with scipy and Biopython is not installed";
  ScratchFolder folder;
  const std::vector<support::YearInput> years = tie_heavy_years();
  for (const int strategy : {1, 3, 5}) {
    SCOPED_TRACE(strategy);
    const fs::path at = folder.path() / std::to_string(strategy);
    fs::create_directories(at);
    ASSERT_EQ(support::run_job(at, "Ties", years, strategy).status, 0);
    const auto run = support::run_program(support::export_program(), {"--groups", "4", "JOB"}, at);
    ASSERT_EQ(run.status, 0) << run.err;
    support::write_bytes(at / "cut.py",
                         "import csv\n"
                         "with open('JOB-groups.csv', newline='', encoding='utf-8') as f:\n"
                         "    rows = list(csv.DictReader(f))\n"
                         "def numbered(labels):\n"
                         "    seen = {}\n"
                         "    return [seen.setdefault(label, len(seen) + 1) for label in labels]\n"
                         "fails = 0\n"
                         "maxclust = 0\n"
                         "for year in range(1900, 1941):\n"
                         "    stem = 'JOB-%d' % year\n" +
                             indented(page_block("python")) +
                         "    mine = [int(r['group']) for r in rows if r['year'] == str(year)]\n"
                         "    if numbered(groups) != mine:\n"
                         "        print('FAIL', year)\n"
                         "        fails += 1\n"
                         "    if len(Z) >= 4 and numbered(fcluster(Z, 4, criterion='maxclust')) != mine:\n"
                         "        maxclust += 1\n"
                         "print(fails, 'failures;', maxclust, 'years where maxclust differs')\n");
    const auto py = support::run_program("/bin/sh", {"-c", *python + " cut.py"}, at);
    EXPECT_EQ(py.status, 0) << py.err;
    EXPECT_EQ(py.out.rfind("0 failures;", 0), 0u) << py.out << py.err;
    std::cout << "strategy " << strategy << ": " << py.out;
  }
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
