# The R package's mc_hclust side by side with stats::hclust and
# fastcluster::hclust: the same random Euclidean distances, whole R calls,
# the three taking turns round after round; the median seconds of each.
#
#   Rscript bench/packages.R        (with the package metclust on .libPaths())
#
# Stops with status 1 when mc_hclust's merge differs from hclust's, so that
# the figures always compare the same trees.

suppressPackageStartupMessages({
  library(metclust)
  library(fastcluster)
})

sizes <- c(1000, 2000, 4000)
rounds <- c(5, 3, 3)
methods <- c("single", "average", "ward.D")

cat(sprintf("%-7s %5s  %13s %15s %19s\n", "method", "n", "mc_hclust s", "stats::hclust s",
            "fastcluster::hclust s"))
for (k in seq_along(sizes)) {
  n <- sizes[k]
  set.seed(n)
  d <- dist(matrix(runif(4 * n), n))
  for (method in methods) {
    times <- matrix(NA_real_, rounds[k], 3)
    for (round in seq_len(rounds[k])) {
      calls <- list(function() mc_hclust(d, method), function() stats::hclust(d, method),
                    function() fastcluster::hclust(d, method))
      turn <- (seq_along(calls) + round - 2) %% 3 + 1
      trees <- vector("list", 3)
      for (side in turn) {
        times[round, side] <- system.time(trees[[side]] <- calls[[side]]())[["elapsed"]]
      }
      if (!identical(trees[[1]]$merge, trees[[2]]$merge)) {
        cat("mc_hclust and hclust fuse differently at n =", n, "with", method, "\n")
        quit(status = 1)
      }
    }
    m <- apply(times, 2, median)
    cat(sprintf("%-7s %5d  %13.3f %15.3f %19.3f\n", method, n, m[1], m[2], m[3]))
  }
}
