// The consensus tree of a job: the locations seen in enough years,
// clustered by the engine's own group-average strategy on 1 - share, and
// the groups of its cut with each location's stability.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "compare/across_years.hpp"
#include "trees/tree.hpp"

namespace metclust::compare {

// How many years a location must be seen in to enter the consensus: half
// the years of the job, rounded up, and at least 2 when the job has two
// years or more.
std::int32_t consensus_minimum_years(std::size_t years);

// The cut of the consensus tree: K groups, or at a level of 1 - share.
struct ConsensusCut {
  std::optional<std::int64_t> groups;
  double level = 0.5;  // used when `groups` is not given
};

struct Consensus {
  std::int32_t minimum_years = 0;
  // Indices into Comparison::locations of the locations that enter, in
  // order of first appearance; the tree numbers them 1.. in that order.
  std::vector<std::size_t> members;
  trees::Tree tree{0, {}};
  trees::Partition partition;  // the cut, numbered as cutree
  // By member: mean share with the other members of its group; nullopt for
  // a group of one.
  std::vector<std::optional<double>> stability;
};

// The dissimilarity of two members is 1 - years_together / years_both; a
// pair never seen in one year counts as 1, never together.
Consensus consensus(const Comparison& comparison, const ConsensusCut& cut);

}  // namespace metclust::compare
