# The agglomeration loop (fast pair search) side by side with R's
# fastcluster on the same matrices, for every strategy and for years of
# 411 to 8000 locations.
#
#   Rscript bench/versus_fastcluster.R AGGLOM_TIMER
#
# For each size: random points in four dimensions (uniform, seeded by the
# size), their Euclidean distances, and the packed matrix of those distances
# written for AGGLOM_TIMER (bench/agglom_timer.cpp). Then, round after
# round, fastcluster::hclust is timed for each strategy's method and the
# timer runs once for all eight strategies, the two sides taking turns at
# going first. Each measurement is the mean over a batch of calls, the same
# batch on both sides, so that a small year is not timed at the resolution
# of a clock. The table gives the medians over the rounds.
#
# It stops with status 1 when the timer fails, when a strategy's fusions
# differ from one round to the next, or when at 411 locations fastcluster's
# merge heights and the fusion levels differ by more than 1e-9 (relative)
# for a strategy whose definitions agree on both sides.

suppressPackageStartupMessages(library(fastcluster))

args <- commandArgs(trailingOnly = TRUE)
if (length(args) != 1) {
  message("usage: Rscript versus_fastcluster.R AGGLOM_TIMER")
  quit(status = 2)
}
timer <- args[1]

strategies <- 1:8
# The method of fastcluster that applies each strategy's formula to the
# values as given: flexible WPGMA and UPGMA with beta 0 are McQuitty's
# method and group average, incremental sum of squares is Ward's formula on
# the distances themselves (ward.D, not ward.D2).
methods <- c("single", "complete", "average", "median", "centroid", "mcquitty", "average",
             "ward.D")
names <- c("nearest neighbour", "furthest neighbour", "group average", "median", "centroid",
           "flexible WPGMA", "flexible UPGMA", "sum of squares")
# A check that both sides read the same matrix: the levels of these
# strategies against fastcluster's heights, both sorted, to a relative 1e-9.
# Median and centroid, whose levels can fall, are left out, and so is
# nearest neighbour, whose level fastcluster takes as a minimum where the
# program evaluates the formula (within an ulp of it).
compared <- c(2, 3, 6, 7, 8)

# Sizes, rounds and calls per measurement: a measurement takes at least
# some tens of milliseconds on each side, and the whole run two to three
# minutes on two idle cores.
plan <- data.frame(n = c(411, 1000, 2000, 4000, 8000),
                   rounds = c(11, 11, 9, 7, 5),
                   batch = c(100, 20, 4, 1, 1))

fail <- function(...) {
  cat("versus fastcluster:", ..., "\n")
  quit(status = 1)
}

run_timer <- function(arguments) {
  out <- suppressWarnings(system2(timer, arguments, stdout = TRUE))
  if (!is.null(attr(out, "status"))) fail(timer, "failed with status", attr(out, "status"))
  out
}

# The packed order is the upper triangle column after column: pair (i, j),
# i < j, at position (j-1)(j-2)/2 + i, which is the order in which
# m[upper.tri(m)] lists it. Checked on the file itself, at the first pair,
# the last pairs of the first and last columns and a sample of the others.
write_packed <- function(d, n, file) {
  m <- as.matrix(d)
  writeBin(m[upper.tri(m)], file, size = 8)
  packed <- readBin(file, "double", n = n * (n - 1) / 2 + 1, size = 8)
  j <- c(2, n, n, sample(2:n, 10000, replace = TRUE))
  i <- c(1, 1, n - 1, vapply(j[-(1:3)], function(k) sample.int(k - 1, 1), 0))
  if (length(packed) != n * (n - 1) / 2 ||
      !identical(packed[(j - 1) * (j - 2) / 2 + i], m[cbind(i, j)])) {
    fail("the matrix written for n =", n, "is not in the packed order")
  }
}

# Mean seconds of one call of fastcluster over a batch of calls.
time_fastcluster <- function(d, method, batch) {
  start <- Sys.time()
  for (k in seq_len(batch)) fastcluster::hclust(d, method)
  as.double(difftime(Sys.time(), start, units = "secs")) / batch
}

check_levels <- function(d, file) {
  lines <- run_timer(c("--levels", file, compared))
  for (line in lines) {
    fields <- as.numeric(strsplit(line, " ", fixed = TRUE)[[1]])
    s <- fields[1]
    ours <- sort(fields[-1])
    theirs <- sort(fastcluster::hclust(d, methods[s])$height)
    if (length(ours) != length(theirs) ||
        any(abs(ours - theirs) > 1e-9 * pmax(abs(theirs), .Machine$double.xmin))) {
      fail("strategy", s, "levels differ from fastcluster's", methods[s], "heights")
    }
  }
}

results <- NULL
started <- Sys.time()
for (row in seq_len(nrow(plan))) {
  n <- plan$n[row]
  batch <- plan$batch[row]
  set.seed(n)
  d <- dist(matrix(runif(n * 4), n, 4))
  file <- file.path(tempdir(), paste0("packed", n, ".bin"))
  write_packed(d, n, file)
  invisible(gc())
  if (n == 411) check_levels(d, file)

  theirs <- matrix(NA_real_, plan$rounds[row], 8)
  ours <- matrix(NA_real_, plan$rounds[row], 8)
  digests <- matrix(NA_character_, plan$rounds[row], 8)
  for (round in seq_len(plan$rounds[row])) {
    time_ours <- function() {
      out <- read.table(text = run_timer(c("--batch", batch, file, strategies)),
                        col.names = c("strategy", "seconds", "digest"),
                        colClasses = c("integer", "numeric", "character"))
      ours[round, out$strategy] <<- out$seconds
      digests[round, out$strategy] <<- out$digest
    }
    if (round %% 2 == 0) time_ours()
    for (s in strategies) theirs[round, s] <- time_fastcluster(d, methods[s], batch)
    if (round %% 2 == 1) time_ours()
  }
  for (s in strategies) {
    if (any(digests[, s] != digests[1, s])) {
      fail("strategy", s, "at n =", n, "fused differently from one round to the next:",
           unique(digests[, s]))
    }
  }
  unlink(file)
  rm(d)
  invisible(gc())
  results <- rbind(results, data.frame(n = n, strategy = strategies,
                                       fastcluster = apply(theirs, 2, median) * 1000,
                                       metclust = apply(ours, 2, median) * 1000))
  cat(sprintf("versus fastcluster: n = %d, %d rounds, %d call%s per measurement, %.0f s so far\n",
              n, plan$rounds[row], batch, if (batch == 1) "" else "s",
              as.double(difftime(Sys.time(), started, units = "secs"))))
}

cat(sprintf("\nfastcluster %s in R %s.%s against AGGLOM (fast search); medians in ms,\n",
            packageVersion("fastcluster"), R.version$major, R.version$minor))
cat("ratio = fastcluster / metclust (above 1: metclust is faster)\n\n")
cat(sprintf("%5s  %-22s  %-8s  %14s  %11s  %6s\n",
            "n", "strategy", "method", "fastcluster ms", "metclust ms", "ratio"))
for (k in seq_len(nrow(results))) {
  r <- results[k, ]
  cat(sprintf("%5d  %d %-20s  %-8s  %14.3f  %11.3f  %6.2f\n", r$n, r$strategy, names[r$strategy],
              methods[r$strategy], r$fastcluster, r$metclust, r$fastcluster / r$metclust))
}

cat("\ngrowth from n = 2000 to 8000, log(t(8000) / t(2000)) / log(4) (2 is n squared):\n\n")
cat(sprintf("%-22s  %-8s  %11s  %8s\n", "strategy", "method", "fastcluster", "metclust"))
for (s in strategies) {
  at <- function(n) results[results$n == n & results$strategy == s, ]
  growth <- function(side) log(at(8000)[[side]] / at(2000)[[side]]) / log(4)
  cat(sprintf("%d %-20s  %-8s  %11.2f  %8.2f\n", s, names[s], methods[s], growth("fastcluster"),
              growth("metclust")))
}
