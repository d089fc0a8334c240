// The CSV files of metclust-choose.
#pragma once

#include <string>
#include <vector>

#include "choose/figures.hpp"

namespace metclust::choose {

// The year columns of all runs, in the order they first come.
std::vector<std::string> year_columns(const std::vector<RunFigures>& runs);

// year,strategy,cophenetic_correlation,agglomerative_coefficient: year by
// year, and within a year strategy by strategy; a figure left out is empty.
std::string fit_csv(const std::vector<RunFigures>& runs);

// year,strategy,mojena_groups,silhouette_groups,silhouette_width.
std::string suggested_groups_csv(const std::vector<RunFigures>& runs);

// strategy,groups,mean_adjusted_rand,year_pairs for K = 2 ... max.
std::string stability_csv(const std::vector<RunFigures>& runs);

}  // namespace metclust::choose
