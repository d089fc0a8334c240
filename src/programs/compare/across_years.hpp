// The years of a job side by side: locations are the same location across
// years when their names are the same. From each year's tree and cut this
// makes the group numbers kept from year to year, the co-membership of every
// pair of locations and the agreement of every pair of years. Computations
// only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/years.hpp"
#include "trees/tree.hpp"

namespace metclust::compare {

// One year group of a job as the comparison takes it: the year (its column
// in the tables, its tree, and its location names, which are distinct), and
// its cut.
struct YearCut {
  jobs::Year year;
  trees::Partition partition;  // groups numbered as cutree
};

struct PairCount {
  std::int32_t years_both = 0;      // years that hold both locations
  std::int32_t years_together = 0;  // of those, years that put them in one group
};

struct Agreement {
  std::size_t year_a = 0;  // indices into the years, year_a < year_b
  std::size_t year_b = 0;
  std::int64_t shared = 0;  // locations both years hold
  // Left out for fewer than 3 shared locations, and where undefined (see
  // trees/indices.hpp).
  std::optional<double> adjusted_rand;
  std::optional<double> cophenetic_correlation;
};

// Fewer shared locations than this leave a pair of years without indices.
inline constexpr std::int64_t kMinimumShared = 3;

struct Comparison {
  // Every location of the job, in order of first appearance: year by year,
  // and within a year by location number.
  std::vector<std::string> locations;
  // The full name of each location, empty where unknown; filled by the
  // caller (compare_years leaves every one empty).
  std::vector<std::string> full_names;
  std::vector<std::string> columns;  // one per year, in file order
  // group[location][year]: the location's group number that year, kept from
  // year to year (see match_groups); 0 when the year does not hold it.
  std::vector<std::vector<std::int32_t>> group;
  // By records::packed_index over `locations` (1-based numbers in that order).
  std::vector<PairCount> pairs;
  std::vector<Agreement> agreement;  // every pair of years, a then b in file order

  const PairCount& pair(std::size_t a, std::size_t b) const;  // 0-based, a != b
  std::int32_t years_seen(std::size_t location) const;
};

// Group numbers kept from year to year. The first year keeps its cutree
// numbers. In each later year, every group of the year is scored against
// every number given so far by its overlap: how many of its locations
// carried that number the last year they were seen. The pairs (group,
// number) are taken greedily, largest overlap first (ties: smaller number,
// then smaller group), each group and each number once; a group left
// without a number gets the next number never used. `members[y][k]` is the
// index in `location_count` of location k + 1 of year y.
std::vector<std::vector<std::int32_t>> match_groups(
    const std::vector<YearCut>& years, const std::vector<std::vector<std::size_t>>& members,
    std::size_t location_count);

// Everything the outputs need. A name that stands twice in one year is a
// logic error here; the reader rejects it first.
Comparison compare_years(const std::vector<YearCut>& years);

}  // namespace metclust::compare
