// The tree of one year of the plot data, for the computations every
// companion program shares (dendrogram order, cuts, merge and linkage
// matrices).
#pragma once

#include "plot/plot_data.hpp"
#include "trees/tree.hpp"

namespace metclust::plot {

// The year's fusions at their fusion levels when the year has them (from
// the .CLS file), otherwise at their fusion numbers 1, 2, ... A year of
// fewer than two locations is a tree without fusions.
trees::Tree year_tree(const YearPlot& year);

}  // namespace metclust::plot
