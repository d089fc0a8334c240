\name{mc_read_job}
\alias{mc_read_job}
\alias{mc_run}
\title{The Trees of a metclust Job}
\description{
  \code{mc_read_job} reads a finished job (the files \code{JOB.PCL} and
  \code{JOB.CLS} that metclust wrote) with the program's own readers and
  returns its trees, one \code{"hclust"} object per year. \code{mc_run}
  clusters every year of \code{JOB.EMA} as metclust does, in-process, and
  writes no file.
}
\usage{
mc_read_job(job)
mc_run(job, strategy)
}
\arguments{
  \item{job}{the job: \code{"DIR/JOB"}, or one of its files
    (\code{.PCL}, \code{.CLS}, \code{.EMA}).}
  \item{strategy}{as in \code{\link{mc_hclust}}: a number from 1 to 8 or
    a method name.}
}
\details{
  \code{JOB.CLS} keeps each fusion level to 8 digits. When \code{JOB.EMA}
  is beside it, \code{mc_read_job} clusters every year again with the
  engine and the strategy of \code{JOB.CLS}; when that gives the fusions of
  \code{JOB.CLS} and its levels to 8 digits, the heights are the engine's
  levels in full precision (the same doubles as the run). Otherwise a
  warning says why and the heights are the 8-digit levels.

  The labels are the location names of the job, named as every metclust
  program names them: blanks at both ends removed, a blank name
  \code{"(location k)"}, a name that an earlier location of the year has
  \code{"NAME (location k)"}, each with a warning. When
  \code{JOB-names.csv} (written by metclust-import) is there, each name it
  lists is replaced by the location's full name (told apart in the same
  way where two locations of a year share one). A year of fewer than two
  locations has no tree: it is left out with a warning.

  Location numbers (\code{-k} in \code{$merge}) are the rows of the year's
  matrix in \code{JOB.EMA}; merge, order and the tie rule are as in
  \code{\link{mc_hclust}}.
}
\value{
  A list of \code{"hclust"} objects named by the year column of the job's
  files (\code{"1995"} for \code{JOB-1995}, \code{"1995-2"} for a year that
  comes again), with attributes \code{title}, \code{strategy} and
  \code{full.precision} (\code{TRUE} when every height is the engine's).
}
\seealso{\code{\link{mc_hclust}}}
\examples{
\dontrun{
trees <- mc_read_job("results/TRIAL")
plot(trees[["88"]])
cutree(trees[["88"]], k = 4)
}
}
