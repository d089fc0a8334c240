# mc_read_job and mc_run on a job made by the project's programs: `make r`
# makes it from the matrices in tests/bindings/ with metclust-import and
# metclust (strategy 3) and names it in METCLUST_TEST_JOB.

test_job <- function() {
  job <- Sys.getenv("METCLUST_TEST_JOB")
  if (!nzchar(job) || !file.exists(paste0(job, ".CLS"))) {
    skip("no job made by the programs: METCLUST_TEST_JOB names none (make r makes one)")
  }
  job
}

# The year's matrix as metclust-import read it, rows and columns in the
# order of the tree's labels (the job's order of locations).
year_matrix <- function(job, year, labels) {
  file <- file.path(Sys.getenv("METCLUST_TEST_MATRICES"), paste0("m", year, ".csv"))
  if (!file.exists(file)) skip("the matrices of the job are not in METCLUST_TEST_MATRICES")
  m <- as.matrix(read.csv(file, row.names = 1, check.names = FALSE, encoding = "UTF-8"))
  m[labels, labels]
}

# The job's files without JOB.EMA, in a folder of their own.
without_ema <- function(job) {
  dir <- tempfile("job")
  dir.create(dir)
  file.copy(paste0(job, c(".CLS", ".PCL", "-names.csv")), dir)
  file.path(dir, basename(job))
}

test_that("a finished job gives one hclust per year, full names, full precision", {
  job <- test_job()
  expect_warning(trees <- mc_read_job(job), "year 1990 has 1 location and no tree")
  expect_identical(names(trees), c("1988", "1989"))
  expect_true(attr(trees, "full.precision"))
  expect_identical(attr(trees, "strategy"), 3L)
  expect_identical(attr(trees, "title"), "Bindings test job")
  for (year in names(trees)) {
    tree <- trees[[year]]
    expect_s3_class(tree, "hclust")
    expect_identical(tree$method, "average")
    m <- year_matrix(job, year, tree$labels)  # fails unless the labels are the full names
    theirs <- hclust(as.dist(m), "average")
    expect_identical(tree$merge, theirs$merge, info = year)
    expect_identical(tree$order, theirs$order, info = year)
    expect_lt(max(abs(tree$height - theirs$height)), 1e-12)
  }
  expect_true("Zürich Nord" %in% trees[["1988"]]$labels)
  expect_true("Dubbo, West" %in% trees[["1989"]]$labels)
})

# Every warning of `expr`, its value in `value`.
warnings_of <- function(expr) {
  warnings <- character()
  value <- withCallingHandlers(expr, warning = function(w) {
    warnings <<- c(warnings, conditionMessage(w))
    invokeRestart("muffleWarning")
  })
  list(value = value, warnings = warnings)
}

test_that("without JOB.EMA the levels are the 8 digits of JOB.CLS", {
  job <- test_job()
  copy <- without_ema(job)
  read <- warnings_of(mc_read_job(paste0(copy, ".CLS")))
  trees <- read$value
  expect_match(read$warnings, "JOB.EMA: no such file; the fusion levels are those of .*JOB.CLS",
               all = FALSE)
  expect_match(read$warnings, "no tree", all = FALSE)
  expect_false(attr(trees, "full.precision"))
  tree <- trees[["1988"]]
  theirs <- hclust(as.dist(year_matrix(job, "1988", tree$labels)), "average")
  expect_identical(tree$merge, theirs$merge)
  difference <- abs(tree$height - theirs$height)
  expect_true(all(difference <= 5e-8 * theirs$height))
  expect_gt(max(difference), 1e-12)  # some level has more than 8 digits
})

test_that("an .EMA that does not give the job's fusions is not used", {
  job <- test_job()
  copy <- without_ema(job)
  ema <- readLines(paste0(job, ".EMA"))
  # Location 2 of the first year moves far from location 1: columns 17-32
  # of its matrix row hold that proximity.
  row <- grep("^     2 ", ema)[1]
  substr(ema[row], 17, 32) <- "  0.99000000E+02"
  writeLines(ema, paste0(copy, ".EMA"), sep = "\r\n")
  read <- warnings_of(mc_read_job(copy))
  expect_match(read$warnings, "JOB.EMA: year 1988 .*clustered again, fusion .*JOB.CLS", all = FALSE)
  expect_false(attr(read$value, "full.precision"))
})

test_that("a blank name and a name twice in a year are told apart by the location's number", {
  job <- test_job()
  copy <- without_ema(job)
  ema <- readLines(paste0(job, ".EMA"))
  # Columns 8-15 of a matrix row hold the location's name: in the first
  # year location 2 has none, location 3 that of location 1.
  first <- grep("^     1 ", ema)[1]
  substr(ema[first + 1L], 8, 15) <- "        "
  substr(ema[first + 2L], 8, 15) <- substr(ema[first], 8, 15)
  writeLines(ema, paste0(copy, ".EMA"), sep = "\r\n")
  run <- warnings_of(mc_run(copy, 3))
  expect_match(run$warnings, "JOB-1988: location 2 has no name; it is called \\(location 2\\)",
               all = FALSE)
  expect_match(run$warnings, "JOB-1988: locations 1 and 3 are both named 'WaggaWag'", all = FALSE)
  # JOB-names.csv gives location 3 the full name of location 1, told apart
  # in the same way.
  expect_identical(run$value[["1988"]]$labels[1:3],
                   c("Wagga Wagga", "(location 2)", "Wagga Wagga (location 3)"))
})

test_that("mc_run clusters JOB.EMA as metclust does", {
  job <- test_job()
  expect_warning(read <- mc_read_job(job), "no tree")
  expect_warning(run <- mc_run(paste0(job, ".EMA"), "average"), "no tree")
  expect_identical(lapply(run, `[`, c("merge", "height", "order", "labels")),
                   lapply(read, `[`, c("merge", "height", "order", "labels")))
  expect_warning(single <- mc_run(job, 1), "no tree")
  tree <- single[["1989"]]
  theirs <- hclust(as.dist(year_matrix(job, "1989", tree$labels)), "single")
  expect_identical(tree$merge, theirs$merge)
  expect_identical(tree$method, "single")
})

test_that("a job that is not there, or no job at all, is an error of the caller", {
  job <- test_job()
  expect_error(mc_read_job(tempfile()), "\\.PCL: no such file")
  expect_error(mc_read_job(paste0(tempdir(), "/")), "names no job")
  expect_error(mc_run(without_ema(job), 3), "\\.EMA: no such file")
  expect_error(mc_run(job, 0), "number from 1 to 8")
  expect_error(mc_read_job(c("a", "b")), "one file name")
})
