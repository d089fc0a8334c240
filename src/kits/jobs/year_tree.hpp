// The tree of one year of a job's plot data, for the computations every
// companion program shares (dendrogram order, cuts, merge and linkage
// matrices).
#pragma once

#include <string>

#include "formats/job_results.hpp"
#include "trees/tree.hpp"

namespace metclust::jobs {

// The year's fusions at their fusion levels when the year has them (from
// the .CLS file), otherwise at their fusion numbers 1, 2, ... A year of
// fewer than two locations is a tree without fusions.
trees::Tree year_tree(const formats::YearPlot& year);

// The same tree, checked against the year's node listing: fusions that do
// not make one tree, or a listing whose locations are not in the order the
// fusions give, are a records::LocatedError of `plot_file` at the year's
// header or at the listing entry.
trees::Tree checked_year_tree(const formats::YearPlot& year, const std::string& plot_file);

}  // namespace metclust::jobs
