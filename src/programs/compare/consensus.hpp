// The consensus tree of a job: the locations seen in enough years,
// clustered by the engine's own group-average strategy on 1 - share, and
// the groups of its cut with each location's stability and whether its
// group rests on a choice among equal shares.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
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
  // By member: whether its consensus group rests on a choice among equal
  // shares (see doubtful_members).
  std::vector<bool> ambiguous;
};

// Two values of 1 - share closer than this are equal: shares are ratios of
// small counts, and their means are computed in floating point.
inline constexpr double kEqualShares = 1e-9;

// Which of n locations can end in another group of the cut `rule` when
// group-average clustering of `dissimilarity` (packed, records::packed_index)
// takes, at any fusion, another one of the pairs at the smallest
// dissimilarity (equal within kEqualShares): every such sequence of fusions
// is followed to the cut, and a location is marked when the locations it
// shares its group with differ between two of them. nullopt when that
// takes more than `limit` states of the clustering.
std::optional<std::vector<bool>> moved_by_ties(std::span<const double> dissimilarity,
                                               std::int32_t n, const ConsensusCut& rule,
                                               std::int64_t limit);

// The most states moved_by_ties may visit for a consensus (fewer for many
// locations); beyond them the consensus takes doubtful_members.
inline constexpr std::int64_t kTieOrderStates = 20000;

// Which locations of a group-average tree sit in their group of `cut` only
// because of a choice among equal minima, judged from the engine's own
// sequence of fusions: cheaper than moved_by_ties, and for trees too large
// for it. `dissimilarity` is the packed
// matrix the tree was clustered from (records::packed_index), `tree` the
// fusions the engine made from it, in order. The fusions are made again,
// each group's dissimilarity to another the mean over their pairs of
// locations, and at every fusion the pairs of groups at the smallest
// dissimilarity (within kEqualShares) are looked at. Those pairs link
// groups; where every two groups so linked are themselves such a pair,
// every choice among them ends in the same groups at that level, and the
// fusion is no choice. A location is marked when its group at the fusion
// is one of
//   - a set of linked groups that are not all pairs with each other, at a
//     fusion below the cut (another choice could have made other groups);
//   - the pairs at the smallest dissimilarity of a fusion below the cut
//     whose level equals that of the lowest fusion above it (another choice
//     could have left another pair above the cut).
// The marks follow the engine's own sequence of fusions: a location that
// another choice moves only by a knock-on effect further up is not marked,
// and one that every choice leaves with the same companions can be.
std::vector<bool> doubtful_members(std::span<const double> dissimilarity, const trees::Tree& tree,
                                   const trees::Partition& cut);

// The dissimilarity of two members is 1 - years_together / years_both; a
// pair never seen in one year counts as 1, never together.
Consensus consensus(const Comparison& comparison, const ConsensusCut& cut);

}  // namespace metclust::compare
