library(testthat)
library(metclust)

test_check("metclust")
