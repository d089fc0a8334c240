// One numbering of a year's groups across the companion programs, as R's
// cutree gives it on the tree metclust-export writes: metclust-export's
// JOB-groups.csv, the groups of metclust-plot's page and the group
// column of metclust-compare's JOB-regions.csv.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/job_files.hpp"
#include "support/pictures.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::compare {
namespace {

namespace fs = std::filesystem;
namespace support = metclust::testing;

bool works(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

constexpr std::string_view kScript = R"r(
fails <- 0
check <- function(ok, what) if (!isTRUE(ok)) { cat("FAIL", what, "\n"); fails <<- fails + 1 }
chr <- c(year = "character", name = "character")
ex <- read.csv("x/JOB-groups.csv", colClasses = chr, na.strings = character())
rg <- read.csv("JOB-regions.csv", colClasses = c(chr, region = "character"),
               na.strings = character())
pl <- read.csv("plot-groups.csv", colClasses = c(year = "character"))
check(identical(rg$year, ex$year) && identical(rg$location, ex$location) &&
      identical(rg$name, ex$name), "the same rows")
by_year <- read.csv("JOB-groups-by-year.csv", check.names = FALSE,
                    colClasses = "character", na.strings = character())
for (year in unique(ex$year)) {
  m <- read.csv(paste0("x/JOB-", year, "-merges.csv"))
  n <- nrow(m) + 1L
  hc <- structure(list(merge = cbind(as.integer(m$merge1), as.integer(m$merge2)),
                       height = m$height, order = seq_len(n),
                       labels = as.character(seq_len(n)), method = "average"),
                  class = "hclust")
  k <- unname(cutree(hc, k = 4))
  check(identical(ex$group[ex$year == year], k), paste(year, "export"))
  p <- pl[pl$year == year, ]
  check(identical(p$group[order(p$location)], k), paste(year, "plot"))
  r <- rg[rg$year == year, ]
  check(identical(r$group, k), paste(year, "regions"))
  # One region for each group of the year, another for each other group.
  check(all(tapply(r$region, r$group, function(x) length(unique(x))) == 1) &&
        length(unique(r$region)) == length(unique(r$group)), paste(year, "one region a group"))
  check(identical(by_year[[year]][match(r$name, by_year$location)], r$region),
        paste(year, "groups by year"))
}
cat("checked", length(unique(ex$year)), "years,", fails, "failures\n")
)r";

TEST(CompareClients, RCutreeNumbersTheGroupsOfEveryProgram) {
  if (!works("Rscript -e 'invisible(0)'")) GTEST_SKIP() << "R is not installed";
  support::ScratchFolder folder;
  // Three years holding the locations in other orders, one location new
  // in the second year, so that the regions are not the years' numbers.
  const auto proximity = [](int seed) {
    return [seed](std::size_t i, std::size_t j) {
      return static_cast<double>((i * 7 + j * 13 + static_cast<std::size_t>(seed) * (i + j)) % 23) + 1.0;
    };
  };
  const std::vector<support::YearInput> years = {
      {1990, {"AMES", "BRANDON", "CROOKSTON", "DAVIS", "ELK", "FARGO", "GRAND RAPIDS", "HAYS", "IOWA"}, proximity(1)},
      {1991, {"GRAND RAPIDS", "IOWA", "AMES", "JOLIET", "DAVIS", "FARGO", "BRANDON", "ELK", "HAYS", "CROOKSTON"}, proximity(5)},
      {1992, {"HAYS", "ELK", "DAVIS", "CROOKSTON", "BRANDON", "AMES", "FARGO", "GRAND RAPIDS"}, proximity(11)}};
  ASSERT_EQ(support::run_job(folder.path(), "Barley", years, 3).status, 0);
  for (const auto& [program, arguments] :
       std::vector<std::pair<fs::path, std::vector<std::string>>>{
           {support::export_program(), {"--groups", "4", "-o", "x", "JOB"}},
           {support::plot_program(), {"--groups", "4", "JOB"}},
           {support::compare_program(), {"--groups", "4", "JOB"}}}) {
    const auto run = support::run_program(program, arguments, folder.path());
    ASSERT_EQ(run.status, 0) << program << ": " << run.err;
  }
  // Each location's group as the plot page shows it in the hover text of
  // each year's picture, which the page's script makes from the picture's
  // data: the locations in dendrogram order and each node's group.
  const std::string page = support::read_bytes(folder.path() / "JOB.html");
  std::string groups = "year,location,group\n";
  for (const support::YearInput& year : years) {
    const std::string heading = "<h2>Year " + std::to_string(year.year) + " (";  // then its label
    const std::size_t from = page.find(heading);
    ASSERT_NE(from, std::string::npos) << heading;
    const std::string section = page.substr(from, page.find("</section>", from) - from);
    std::size_t seen = 0;
    const std::vector<std::string> cut = support::hover_entries(section, "cut");
    for (const std::string& location : support::hover_entries(section, "order")) {
      groups += std::to_string(year.year) + "," + location + "," +
                cut.at(static_cast<std::size_t>(std::stoi(location)) - 1) + "\n";
      ++seen;
    }
    ASSERT_EQ(seen, year.names.size()) << year.year;
  }
  support::write_bytes(folder.path() / "plot-groups.csv", groups);
  support::write_bytes(folder.path() / "check.R", std::string(kScript));
  const auto r = support::run_program("/bin/sh", {"-c", "Rscript check.R 2>&1"}, folder.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("checked 3 years, 0 failures"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace metclust::compare
