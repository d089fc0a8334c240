// What metclust-export writes for one year: its tree as CSV tables in the
// conventions of R's hclust and scipy's linkage, its locations, and the rows
// of the groups table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/csv.hpp"
#include "trees/tree.hpp"

namespace metclust::exporting {

// merge1,merge2,height,tie: one row per fusion, in fusion order; tie is 1
// where `ties` says the fusion was chosen among equal minima, 0 elsewhere,
// and empty throughout without `ties` (nullptr) or when it does not hold
// one flag per fusion.
std::string merges_csv(const trees::Tree& tree, const std::vector<bool>* ties);

// cluster1,cluster2,height,size: one row per fusion, in fusion order.
std::string linkage_csv(const trees::Tree& tree);

// number,name,full_name,order: one row per location in location order, its
// name, its full name (empty when unknown) and its place (1-based) in the
// drawing order. names[k - 1] and full_names[k - 1] are those of location k.
std::string locations_csv(const trees::Tree& tree, std::span<const std::string> names,
                          std::span<const std::string> full_names);

// The header of the groups table, and the rows of one year:
// year,location,name,full_name,group, locations in location order.
void groups_header(text::CsvWriter& csv);
void groups_rows(text::CsvWriter& csv, std::string_view year, const trees::Partition& partition,
                 std::span<const std::string> names, std::span<const std::string> full_names);

}  // namespace metclust::exporting
