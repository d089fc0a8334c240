// Every figure of metclust-choose against R, the client its readers know:
// a job of six years run with all eight strategies, each year's tree taken
// into R from metclust-export's merge matrix, and the figures recomputed
// there with cor() and cophenetic(), cluster's coef(), coefHier(), agnes()
// and silhouette(), mclust's adjustedRandIndex(), and Mojena's rule written
// out. For the strategies R's hclust makes alike (nearest neighbour,
// furthest neighbour, group average) R's own trees check that the figures
// come from the levels at full precision. Where R, cluster or mclust is
// missing, the test says so and is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "choose/choose_support.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::choose {
namespace {

using namespace metclust::choose::testing;
using metclust::testing::ScratchFolder;

bool works(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Six year groups, among them a year held twice (1993-2), a year of
// negative proximities beside positive ones, and years of three and two
// locations; names shared between years in part.
std::vector<YearInput> years() {
  using metclust::testing::scattered;
  std::vector<YearInput> list = {scattered(1992, 24, 13), scattered(1993, 9, 21), scattered(1993, 16, 5),
                                 scattered(1994, 12, 8), scattered(1995, 3, 2), scattered(1996, 2, 3)};
  list[1].names[0] = "NEW YORK";
  list[2].names[4] = "X,Y";
  const auto distance = list[3].proximity;
  list[3].proximity = [distance](std::size_t i, std::size_t j) { return distance(i, j) - 1.5; };
  return list;
}

const char* const kColumns[] = {"1992", "1993", "1993-2", "1994", "1995", "1996"};

constexpr const char* kScript = R"script(
suppressMessages({ library(cluster); library(mclust) })
fails <- 0
count <- c(trees = 0, inversions = 0, agnes = 0, full = 0, silhouettes = 0, stability = 0)
check <- function(ok, what) if (!isTRUE(ok)) { cat("FAIL", what, "\n"); fails <<- fails + 1 }
near <- function(a, b, tol) (is.na(a) && is.na(b)) ||
  (!is.na(a) && !is.na(b) && abs(a - b) <= tol * max(1, abs(b)))
same <- function(a, b) (is.na(a) && is.na(b)) || (!is.na(a) && !is.na(b) && a == b)
fit <- read.csv("JOB-fit.csv", colClasses = c(year = "character"))
sg <- read.csv("JOB-suggested-groups.csv", colClasses = c(year = "character"))
st <- read.csv("JOB-stability.csv")
columns <- c("1992", "1993", "1993-2", "1994", "1995", "1996")
check(nrow(fit) == 8 * length(columns) && nrow(sg) == nrow(fit) && nrow(st) == 8 * 9, "row counts")
check(identical(fit$year, rep(columns, each = 8)) && identical(fit$strategy, rep(1:8, length(columns))),
      "rows by year, then strategy")
r_method <- c("single", "complete", "average")
miss <- c(correlation = 0, coefficient = 0)  # how far the 8-digit levels are off
for (s in 1:8) {
  trees <- list()
  for (y in columns) {
    stem <- sprintf("exp%d/JOB-s%d-%s", s, s, y)
    m <- read.csv(paste0(stem, "-merges.csv"))
    loc <- read.csv(paste0(stem, "-locations.csv"), colClasses = c(name = "character"),
                    na.strings = character())
    n <- nrow(loc)
    hc <- structure(list(merge = unname(as.matrix(m[, c("merge1", "merge2")])), height = m$height,
                         order = loc$number[order(loc$order)], labels = loc$name, method = "metclust"),
                    class = "hclust")
    trees[[y]] <- hc
    D <- as.matrix(read.csv(sprintf("m-%s.csv", y), header = FALSE))
    d <- as.dist(D)
    what <- sprintf("strategy %d year %s:", s, y)
    f <- fit[fit$year == y & fit$strategy == s, ]
    g <- sg[sg$year == y & sg$strategy == s, ]
    count["trees"] <- count["trees"] + 1

    cc <- suppressWarnings(cor(cophenetic(hc), d))
    check(near(f$cophenetic_correlation, cc, 1e-6), paste(what, "cophenetic correlation", f$cophenetic_correlation, cc))

    h <- hc$height
    first <- numeric(n)
    for (r in seq_len(n - 1)) for (c in 1:2) if (hc$merge[r, c] < 0) first[-hc$merge[r, c]] <- h[r]
    ac <- if (h[n - 1] > 0) mean(1 - first / h[n - 1]) else NA
    check(near(f$agglomerative_coefficient, ac, 1e-6), paste(what, "agglomerative coefficient by hand"))
    if (is.unsorted(h)) {
      count["inversions"] <- count["inversions"] + 1
    } else {
      check(near(f$agglomerative_coefficient, coef(hc), 1e-6), paste(what, "coef(hclust)"))
      co <- as.matrix(cophenetic(hc))
      o <- hc$order
      banner <- sapply(2:n, function(k) co[o[k - 1], o[k]])
      check(near(f$agglomerative_coefficient, coefHier(list(height = banner)), 1e-6),
            paste(what, "coefHier of the banner"))
    }

    mojena <- if (n >= 3) {
      j <- which(h > mean(h) + 1.25 * sd(h))
      if (length(j)) n - j[1] + 1 else 1
    } else NA
    check(same(g$mojena_groups, mojena), paste(what, "Mojena", g$mojena_groups, mojena))

    if (n >= 3 && all(D >= 0)) {
      ks <- 2:min(n - 1, 10)
      w <- sapply(ks, function(k) summary(silhouette(cutree(hc, k = k), d))$avg.width)
      check(same(g$silhouette_groups, ks[which.max(w)]), paste(what, "silhouette K"))
      check(near(g$silhouette_width, max(w), 1e-12), paste(what, "silhouette width"))
      count["silhouettes"] <- count["silhouettes"] + length(ks)
    } else {
      check(is.na(g$silhouette_groups) && is.na(g$silhouette_width), paste(what, "no silhouette"))
    }

    # R's own tree, at full precision, where R clusters alike.
    if (s <= 3 && n >= 3) {
      ref <- hclust(d, method = r_method[s])
      tree_alike <- max(abs(cophenetic(ref) - cophenetic(hc))) <= 1e-7 * max(abs(cophenetic(hc)))
      check(tree_alike, paste(what, "hclust makes the same tree"))
      if (tree_alike) {
        full <- cor(cophenetic(ref), d)
        check(near(f$cophenetic_correlation, full, 1e-13), paste(what, "cophenetic correlation at full precision",
              sprintf("%.17g %.17g", f$cophenetic_correlation, full)))
        miss["correlation"] <- max(miss["correlation"], abs(cc - full))
        count["full"] <- count["full"] + 1
        if (all(D >= 0)) {
          a <- agnes(d, method = r_method[s])$ac
          check(near(f$agglomerative_coefficient, a, 1e-13), paste(what, "agnes ac at full precision",
                sprintf("%.17g %.17g", f$agglomerative_coefficient, a)))
          count["agnes"] <- count["agnes"] + 1
          miss["coefficient"] <- max(miss["coefficient"], abs(ac - a))
        }
      }
    }
  }

  for (k in 2:10) {
    values <- c()
    for (a in 1:(length(columns) - 1)) for (b in (a + 1):length(columns)) {
      ta <- trees[[columns[a]]]; tb <- trees[[columns[b]]]
      if (length(ta$labels) <= k || length(tb$labels) <= k) next
      shared <- intersect(ta$labels, tb$labels)
      if (length(shared) < 3) next
      index <- adjustedRandIndex(cutree(ta, k = k)[shared], cutree(tb, k = k)[shared])
      if (!is.nan(index)) values <- c(values, index)
    }
    row <- st[st$strategy == s & st$groups == k, ]
    check(row$year_pairs == length(values), sprintf("strategy %d K %d: year pairs %d, R %d", s, k,
          row$year_pairs, length(values)))
    check(near(row$mean_adjusted_rand, if (length(values)) mean(values) else NA, 1e-12),
          sprintf("strategy %d K %d: mean adjusted Rand", s, k))
    count["stability"] <- count["stability"] + length(values)
  }
}
cat("compared", paste(names(count), count, collapse = ", "), "\n")
cat(sprintf("the .CLS file's 8-digit levels are off by up to %.3g (cophenetic correlation), %.3g (agglomerative coefficient)\n",
            miss["correlation"], miss["coefficient"]))
cat(fails, "failures\n")
)script";

TEST(ChooseClients, EveryFigureAgreesWithR) {
  if (!works("Rscript --version")) GTEST_SKIP() << "R is not installed (apt-get install r-base-core)";
  if (!works("Rscript -e 'library(cluster)'")) GTEST_SKIP() << "R's cluster is missing (apt-get install r-cran-cluster)";
  if (!works("Rscript -e 'library(mclust)'")) GTEST_SKIP() << "R's mclust is missing (apt-get install r-cran-mclust)";

  ScratchFolder folder;
  const std::vector<YearInput> job = years();
  ASSERT_EQ(run_job(folder.path(), job).status, 0);
  const Outcome chosen = choose(folder.path(), {"JOB"});
  ASSERT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_EQ(chosen.err, "");  // every year clustered again from the .EMA
  for (int s = 1; s <= 8; ++s) {
    const Outcome exported = metclust::testing::run_program(
        program("metclust-export"), {"-o", "exp" + std::to_string(s), "JOB-s" + std::to_string(s)}, folder.path());
    ASSERT_EQ(exported.status, 0) << exported.err;
  }
  // Each year's matrix as the job holds it (six decimals), full and square.
  for (std::size_t y = 0; y < job.size(); ++y) {
    const std::size_t n = job[y].names.size();
    std::string csv;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) {
        if (j > 0) csv += ",";
        csv += i == j ? "0" : metclust::testing::fixed(job[y].proximity(std::min(i, j), std::max(i, j)), 6);
      }
      csv += "\n";
    }
    folder.put(std::string("m-") + kColumns[y] + ".csv", csv);
  }
  folder.put("compare.R", kScript);
  const Outcome r = metclust::testing::run_program("/bin/sh", {"-c", "Rscript compare.R 2>&1"}, folder.path());
  std::cout << r.out;
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\n0 failures\n"), std::string::npos) << r.out;
  // Every kind of comparison was made.
  EXPECT_EQ(r.out.find(" 0,"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("stability 0 "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace metclust::choose
