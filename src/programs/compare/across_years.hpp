// The years of a job side by side: locations are the same location across
// years when their names are the same. From each year's tree and cut this
// makes each year's groups, the regions that match them across years, the
// co-membership of every
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
  // members[y][k]: the index in `locations` of location k + 1 of year y.
  std::vector<std::vector<std::size_t>> members;
  // group[location][year]: the location's group in that year's cut,
  // numbered as cutree numbers it (as metclust-export and metclust-plot
  // show it); 0 when the year does not hold it.
  std::vector<std::vector<std::int32_t>> group;
  // region[location][year]: the region of that group (see match_regions),
  // 1 for region A; 0 when the year does not hold the location.
  std::vector<std::vector<std::int32_t>> region;
  // By records::packed_index over `locations` (1-based numbers in that order).
  std::vector<PairCount> pairs;
  std::vector<Agreement> agreement;  // every pair of years, a then b in file order

  const PairCount& pair(std::size_t a, std::size_t b) const;  // 0-based, a != b
  std::int32_t years_seen(std::size_t location) const;
};

// Regions: the groups of the years matched across years. The groups of
// the first year are regions 1, 2, ... in their cutree order. In each
// later year, every group of the year is scored against every region given
// so far by its overlap: how many of its locations were in that region the
// last year they were seen. The pairs (group, region) are taken greedily,
// largest overlap first (ties: smaller region, then smaller group), each
// group and each region once; a group left without a region gets the next
// region never used. `members[y][k]` is the index in `location_count` of
// location k + 1 of year y. Returns region[location][year], 0 where the
// year does not hold the location.
std::vector<std::vector<std::int32_t>> match_regions(
    const std::vector<YearCut>& years, const std::vector<std::vector<std::size_t>>& members,
    std::size_t location_count);

// The letters of region r (1-based): A to Z, then AA, AB, ... AZ, BA, ...
// ZZ, AAA, ... as the columns of a spreadsheet are lettered.
std::string region_letters(std::int64_t region);

// Everything the outputs need. A name that stands twice in one year is a
// logic error here; the reader rejects it first.
Comparison compare_years(const std::vector<YearCut>& years);

}  // namespace metclust::compare
