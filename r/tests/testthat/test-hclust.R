# mc_hclust against stats::hclust on data without ties, for every strategy.

methods <- c("single", "complete", "average", "median", "centroid", "mcquitty", "average",
             "ward.D")

# Random points in three dimensions; their distances have no ties (checked).
tie_free <- function(n, seed) {
  set.seed(seed)
  d <- dist(matrix(runif(3 * n), n, dimnames = list(sprintf("L%02d", seq_len(n)), NULL)))
  stopifnot(!anyDuplicated(as.vector(d)))
  d
}

test_that("merge and order are identical to hclust's and heights agree to 1e-12", {
  for (n in c(2, 3, 7, 40, 150)) {
    d <- tie_free(n, seed = n)
    # Median and centroid on distances and on squared distances (with
    # inversions), the others on the distances.
    inputs <- list(d = d, squared = d^2)
    for (k in 1:8) {
      for (input in names(inputs)) {
        if (input == "squared" && !(k %in% 4:5)) next
        x <- inputs[[input]]
        ours <- mc_hclust(x, k)
        theirs <- hclust(x, methods[k])
        info <- sprintf("n = %d, strategy %d on %s", n, k, input)
        expect_identical(ours$merge, theirs$merge, info = info)
        expect_identical(ours$order, theirs$order, info = info)
        expect_lt(max(abs(ours$height - theirs$height)), 1e-12)
        expect_identical(ours$labels, theirs$labels, info = info)
        expect_identical(ours$dist.method, theirs$dist.method, info = info)
      }
    }
  }
})

test_that("the centroid strategy's inversions come out as hclust's", {
  d <- tie_free(150, seed = 150)^2
  ours <- mc_hclust(d, "centroid")
  expect_true(is.unsorted(ours$height))  # there is an inversion to get right
  expect_identical(ours$merge, hclust(d, "centroid")$merge)
})

test_that("ward.D2 is ward.D on squared distances with the roots of the heights", {
  d <- tie_free(60, seed = 6)
  ours <- mc_hclust(d^2, "ward.D")
  theirs <- hclust(d, "ward.D2")
  expect_identical(ours$merge, theirs$merge)
  expect_lt(max(abs(sqrt(ours$height) - theirs$height)), 1e-12)
})

test_that("strategies are taken by number and by method name", {
  d <- tie_free(12, seed = 12)
  cases <- list(list("single", 1), list("complete", 2), list("average", 3), list("median", 4),
                list("centroid", 5), list("mcquitty", 6), list("flexible UPGMA", 7),
                list("flex", 7), list("ward.D", 8), list("ward", 8))
  for (case in cases) {
    by_name <- mc_hclust(d, case[[1]])
    by_number <- mc_hclust(d, case[[2]])
    expect_identical(by_name[c("merge", "height", "order", "method")],
                     by_number[c("merge", "height", "order", "method")], info = case[[1]])
  }
  expect_identical(mc_hclust(d, 2)$method, "complete")
  expect_identical(mc_hclust(d, 7)$method, "flexible UPGMA")
  expect_identical(mc_hclust(d)$merge, hclust(d)$merge)  # both default to complete
})

test_that("a symmetric matrix gives the tree of its dist object", {
  d <- tie_free(9, seed = 9)
  m <- as.matrix(d)
  diag(m) <- 5  # the diagonal is not read, as in as.dist
  from_matrix <- mc_hclust(m, 3)
  from_dist <- mc_hclust(d, 3)
  expect_identical(from_matrix[c("merge", "height", "order", "labels")],
                   from_dist[c("merge", "height", "order", "labels")])
  expect_null(from_matrix$dist.method)
  expect_identical(mc_hclust(unname(m), 3)$labels, NULL)
})

test_that("ties go to the pair met last in scan order", {
  # Three locations all at proximity 1: the engine joins 2 and 3 first,
  # hclust 1 and 2.
  d <- as.dist(1 - diag(3))
  for (k in 1:8) {
    expect_identical(mc_hclust(d, k)$merge, matrix(c(-2L, -1L, -3L, 1L), 2), info = k)
  }
  expect_identical(hclust(d, "average")$merge, matrix(c(-1L, -3L, -2L, 1L), 2))
})

test_that("bad input is refused with a message that names the fault", {
  m <- as.matrix(tie_free(4, seed = 4))
  asymmetric <- m
  asymmetric[1, 3] <- asymmetric[1, 3] + 1e-9
  with_nan <- m
  with_nan[2, 4] <- with_nan[4, 2] <- NaN
  with_inf <- tie_free(4, seed = 4)
  with_inf[3] <- Inf
  far <- as.dist(matrix(2e20, 3, 3))
  cases <- list(
    list(asymmetric, 3, "not symmetric: \\[1, 3\\]"),
    list(with_nan, 3, "locations 2 and 4 is NaN or missing"),
    list(with_inf, 3, "locations 1 and 4 is infinite"),
    list(m[, 1:3], 3, "4 x 3 matrix"),
    list(as.dist(matrix(0, 1, 1)), 3, "at least two"),
    list(matrix(0, 1, 1), 3, "at least two locations"),
    list(far, 3, "no pair of groups at a proximity of 1e20 or less"),
    list(letters, 3, "must be a \"dist\" object"),
    list(m, 9, "number from 1 to 8"),
    list(m, "ward.D2", "number from 1 to 8"),
    list(m, NA, "number from 1 to 8")
  )
  for (case in cases) {
    expect_error(mc_hclust(case[[1]], case[[2]]), case[[3]])
  }
  # The error is the caller's, not that of an internal function.
  err <- tryCatch(mc_hclust(asymmetric, 3), error = identity)
  expect_identical(conditionCall(err)[[1]], as.name("mc_hclust"))
})

test_that("R's tools for hclust objects work on it unchanged", {
  d <- tie_free(30, seed = 30)
  ours <- mc_hclust(d, "average")
  theirs <- hclust(d, "average")
  expect_identical(cutree(ours, k = 5), cutree(theirs, k = 5))
  expect_identical(cutree(ours, h = median(theirs$height)), cutree(theirs, h = median(theirs$height)))
  expect_equal(cophenetic(ours), cophenetic(theirs), tolerance = 1e-12)
  dendrogram <- as.dendrogram(ours)
  expect_identical(order.dendrogram(dendrogram), theirs$order)
  expect_identical(labels(dendrogram), labels(as.dendrogram(theirs)))
  pdf(NULL)
  on.exit(dev.off())
  expect_silent(plot(ours))
})

test_that("ape and dendextend take it", {
  skip_if_not_installed("ape")
  d <- tie_free(25, seed = 25)
  ours <- mc_hclust(d, "average")
  phylo <- ape::as.phylo(ours)
  expect_identical(sort(phylo$tip.label), sort(attr(d, "Labels")))
  # as.phylo halves the heights into branch lengths: the path between two
  # tips is the height of the fusion that joins them.
  expect_equal(ape::cophenetic.phylo(phylo)[labels(d), labels(d)],
               as.matrix(cophenetic(ours)), tolerance = 1e-12, ignore_attr = TRUE)
  skip_if_not_installed("dendextend")
  dendrogram <- as.dendrogram(ours)
  expect_identical(dendextend::cutree(dendrogram, k = 4), cutree(ours, k = 4))
  expect_equal(dendextend::cor_cophenetic(dendrogram, as.dendrogram(hclust(d, "average"))), 1)
})
