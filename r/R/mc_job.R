mc_read_job <- function(job) {
  call <- match.call()
  .job_trees(.engine(.mc_job(.job_path(job, call), 0L, FALSE), call), call)
}

mc_run <- function(job, strategy) {
  call <- match.call()
  k <- .strategy_number(strategy, call)
  .job_trees(.engine(.mc_job(.job_path(job, call), k, TRUE), call), call)
}

.job_path <- function(job, call) {
  if (!is.character(job) || length(job) != 1L || is.na(job)) {
    stop(simpleError("'job' must be one file name: \"DIR/JOB\" or one of its files", call))
  }
  enc2utf8(path.expand(job))
}

.job_trees <- function(parts, call) {
  method <- if (parts$strategy %in% 1:8) .methods[parts$strategy] else
    paste("strategy", parts$strategy)
  trees <- lapply(parts$years, function(year) {
    structure(list(merge = year$merge, height = year$height, order = year$order,
                   labels = year$labels, method = method, call = call,
                   dist.method = NULL),
              class = "hclust")
  })
  names(trees) <- vapply(parts$years, function(year) year$column, "")
  for (note in parts$notes) warning(note, call. = FALSE)
  attr(trees, "title") <- parts$title
  attr(trees, "strategy") <- parts$strategy
  attr(trees, "full.precision") <- parts$full_precision
  trees
}
