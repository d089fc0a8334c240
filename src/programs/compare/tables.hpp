// The CSV files of metclust-compare.
#pragma once

#include <string>

#include "compare/across_years.hpp"

namespace metclust::compare {

// location,full_name, then one column per year: the kept group number,
// empty when the year does not hold the location. full_name is empty where
// JOB-names.csv gives none.
std::string groups_by_year_csv(const Comparison& comparison);

// location_a,location_b,full_name_a,full_name_b,years_both,years_together,
// share for every pair that shares a year, location_a before location_b in
// order of first appearance.
std::string comembership_csv(const Comparison& comparison);

// year_a,year_b,shared_locations,adjusted_rand,cophenetic_correlation; the
// two indices empty where they are left out.
std::string agreement_csv(const Comparison& comparison);

}  // namespace metclust::compare
