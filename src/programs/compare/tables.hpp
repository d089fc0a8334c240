// The CSV files of metclust-compare.
#pragma once

#include <string>

#include "compare/across_years.hpp"
#include "compare/consensus.hpp"

namespace metclust::compare {

// location,full_name, then one column per year: the region (A, B, ...)
// of the location's group that year, empty when the year does not hold the
// location. full_name is empty where JOB-names.csv gives none.
std::string groups_by_year_csv(const Comparison& comparison);

// year,location,name,full_name,group,region: every location of every year,
// year by year and within a year in location order; location is its number
// in the year, group its group in the year's cut numbered as cutree (the
// rows of metclust-export's JOB-groups.csv), region that group's region.
std::string regions_csv(const Comparison& comparison);

// location,name,full_name,consensus_group,stability,ambiguous: every
// location of the job in order of first appearance, location its place in
// that order (1-based). consensus_group and ambiguous (0 or 1) are empty
// for a location left out of the consensus, stability also for a group of
// one.
std::string consensus_csv(const Comparison& comparison, const Consensus& consensus);

// location_a,location_b,full_name_a,full_name_b,years_both,years_together,
// share for every pair that shares a year, location_a before location_b in
// order of first appearance.
std::string comembership_csv(const Comparison& comparison);

// year_a,year_b,shared_locations,adjusted_rand,cophenetic_correlation; the
// two indices empty where they are left out.
std::string agreement_csv(const Comparison& comparison);

}  // namespace metclust::compare
