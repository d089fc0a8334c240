\name{mc_hclust}
\alias{mc_hclust}
\alias{mc_strategies}
\title{Hierarchical Clustering with the metclust Engine}
\description{
  Clusters a dissimilarity matrix with one of the eight strategies of the
  metclust program, in-process, and returns an \code{"hclust"} object, so
  that \code{cutree}, \code{plot}, \code{as.dendrogram},
  \code{ape::as.phylo} and \code{dendextend} work on it unchanged.
}
\usage{
mc_hclust(d, strategy = "complete")
mc_strategies()
}
\arguments{
  \item{d}{a \code{"dist"} object, or a symmetric numeric matrix (its
    diagonal is not read, as \code{as.dist} does not read it). At least two
    locations; every value finite; values above 1e20 are never joined.}
  \item{strategy}{a strategy number from 1 to 8, or the name of the
    \code{hclust} method it equals (partial names as \code{hclust} takes
    them): 1 \code{"single"}, 2 \code{"complete"}, 3 \code{"average"},
    4 \code{"median"}, 5 \code{"centroid"}, 6 \code{"mcquitty"},
    7 \code{"flexible UPGMA"} (beta 0), 8 \code{"ward.D"}.}
}
\details{
  Each fusion joins the two closest groups and updates the proximities with
  the Lance-Williams formula of the strategy, applied to the values as given
  (the flexible strategies 6 and 7 with beta 0, as every run of the program).
  These are the formulas of \code{stats::hclust}: on data without ties,
  \code{$merge} and \code{$order} are \code{identical()} to those of
  \code{hclust(d, method)} for each of the eight methods, and the heights
  agree to rounding (within 1e-12; the engine evaluates every strategy
  through the Lance-Williams formula, so single and complete linkage may
  differ from R's minimum and maximum in the last bit). Strategy 7 with
  beta 0 equals \code{"average"}.

  Median and centroid apply their formulas to the values given, as
  \code{hclust} does: for the geometric meaning pass squared Euclidean
  distances (\code{d^2}), as \code{hclust} documents; their heights can
  fall from one fusion to the next. \code{"ward.D2"} is
  \code{mc_hclust(d^2, "ward.D")} with the square roots of its heights.

  \strong{Ties.} When two or more pairs are closest, the engine joins the
  pair met last when the pairs are scanned as (1,2), (1,3), (2,3), (1,4),
  (2,4), (3,4), ...: of three locations all at proximity 1, it joins 2 and 3
  first, where \code{hclust} joins 1 and 2. With ties the trees of the two
  may therefore differ; their heights are equally valid.

  \strong{merge and order.} Rows in fusion order; \code{-k} is location k,
  a positive entry r the group made in row r. Within a row a location
  comes before a group, of two locations the smaller number first, of two
  groups the earlier row first; \code{$order} is the order in which
  \code{plot} draws the locations, as \code{hclust} gives it.
}
\value{
  An object of class \code{"hclust"}: \code{merge}, \code{height},
  \code{order}, \code{labels} (the \code{Labels} of \code{d}, or the row
  names of the matrix), \code{method} (the name of the strategy above),
  \code{call} and \code{dist.method}.

  \code{mc_strategies()} gives the table of strategy numbers, their names in
  metclust and the methods of \code{hclust} they equal.
}
\seealso{\code{\link{mc_read_job}}, \code{\link[stats]{hclust}}}
\examples{
d <- dist(USArrests)
hc <- mc_hclust(d, "average")
identical(hc$merge, hclust(d, "average")$merge)
cutree(hc, k = 4)[1:5]
# The tie rule: three locations at proximity 1.
mc_hclust(as.dist(1 - diag(3)), 3)$merge
mc_strategies()
}
