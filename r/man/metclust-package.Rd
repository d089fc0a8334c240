\name{metclust-package}
\alias{metclust-package}
\alias{metclust}
\docType{package}
\title{The metclust Clustering Engine in R}
\description{
  The clustering engine of the metclust program, built from the project's
  own sources and called in-process: \code{\link{mc_hclust}} clusters a
  \code{"dist"} object or a symmetric matrix into an \code{"hclust"} object,
  \code{\link{mc_read_job}} reads the trees of a finished job and
  \code{\link{mc_run}} clusters a job's \code{.EMA} file.
}
