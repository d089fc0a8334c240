# The engine's strategies by number, named as stats::hclust names its
# methods; strategy 7 (flexible UPGMA, beta 0) has no hclust method of its own.
.methods <- c("single", "complete", "average", "median", "centroid", "mcquitty",
              "flexible UPGMA", "ward.D")

mc_strategies <- function() {
  data.frame(strategy = 1:8,
             name = c("nearest neighbour", "furthest neighbour", "group average", "median",
                      "centroid", "flexible WPGMA (beta 0)", "flexible UPGMA (beta 0)",
                      "incremental sum of squares"),
             method = .methods, stringsAsFactors = FALSE)
}

# A strategy number 1..8 from a number or a method name (partial names as
# hclust takes them: "ward" is "ward.D", "flex" is "flexible UPGMA").
.strategy_number <- function(strategy, call) {
  if (is.numeric(strategy) && length(strategy) == 1L && !is.na(strategy) &&
      strategy %in% 1:8) {
    return(as.integer(strategy))
  }
  if (is.character(strategy) && length(strategy) == 1L && !is.na(strategy)) {
    k <- pmatch(strategy, .methods)
    if (!is.na(k)) return(k)
  }
  stop(simpleError(paste0("'strategy' must be a number from 1 to 8 or one of ",
                          paste0('"', .methods, '"', collapse = ", ")), call))
}

# Runs a call of the engine; its error is reported as an error of `call`.
.engine <- function(expr, call) {
  tryCatch(expr, error = function(e) stop(simpleError(conditionMessage(e), call)))
}

mc_hclust <- function(d, strategy = "complete") {
  call <- match.call()
  k <- .strategy_number(strategy, call)
  if (inherits(d, "dist")) {
    n <- attr(d, "Size")
    if (is.null(n) || length(d) != n * (n - 1) / 2) {
      stop(simpleError("'d' is a \"dist\" object whose length does not match its Size", call))
    }
    if (n < 2) stop(simpleError("at least two locations are needed", call))
    labels <- attr(d, "Labels")
    dist.method <- attr(d, "method")
    parts <- .engine(.mc_cluster_pairs(as.double(d), k), call)
  } else if (is.matrix(d) && (is.numeric(d) || is.logical(d))) {
    if (nrow(d) != ncol(d)) {
      stop(simpleError(sprintf("'d' is a %d x %d matrix, not a square one", nrow(d), ncol(d)),
                       call))
    }
    labels <- rownames(d)
    if (is.null(labels)) labels <- colnames(d)
    dist.method <- NULL
    storage.mode(d) <- "double"
    parts <- .engine(.mc_cluster_square(d, k), call)
  } else {
    stop(simpleError("'d' must be a \"dist\" object or a symmetric numeric matrix", call))
  }
  structure(list(merge = parts$merge, height = parts$height, order = parts$order,
                 labels = labels, method = .methods[k], call = call,
                 dist.method = dist.method),
            class = "hclust")
}
