// The tree of one year, built from its fusion records, and what other tools
// make of such a tree: the dendrogram order, R's hclust merge matrix,
// scipy's linkage matrix, the cophenetic levels and the groups of a cut.
// Computations only; reading and writing files is the callers' business.
//
// Nodes are numbered as in the fusion records: locations 1..n, the group
// made by fusion s (1-based) is node n + s.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace metclust::trees {

// One fusion record: the two nodes joined and the fusion level D(ij).
struct Fusion {
  std::int32_t first = 0;
  std::int32_t second = 0;
  double level = 0.0;
};

class Tree {
 public:
  // A tree of `locations` locations from its n - 1 fusions in fusion order
  // (none for n of 0 or 1). Throws std::invalid_argument when the fusions do
  // not make one tree: a node that is not a location or an earlier group, a
  // node joined twice, a level that is not finite, or the wrong count.
  Tree(std::int32_t locations, std::vector<Fusion> fusions);

  std::int32_t locations() const { return locations_; }
  std::span<const Fusion> fusions() const { return fusions_; }
  double level(std::size_t fusion) const { return fusions_.at(fusion).level; }

  // The two nodes of fusion s (0-based) in drawing order, the one drawn
  // first (higher up a metclust-plot picture, left in R and scipy) first:
  // the node with the larger number. This is how the plot data lays out
  // every fusion.
  std::int32_t left(std::size_t fusion) const;
  std::int32_t right(std::size_t fusion) const;

  // The locations in dendrogram order, as the plot data's node listing gives
  // them: the members of the left node before those of the right one.
  const std::vector<std::int32_t>& order() const { return order_; }

  // Number of locations under a node.
  std::int32_t size(std::int32_t node) const;

 private:
  std::int32_t locations_;
  std::vector<Fusion> fusions_;
  std::vector<std::int32_t> sizes_;  // by node - 1
  std::vector<std::int32_t> order_;
};

// A row of R's hclust merge matrix: a negative entry -k is location k, a
// positive entry r the group made in row r (1-based). Rows are in fusion
// order, and within a row the node with the smaller number comes first, as
// hclust puts them: a location before a group, of two locations the one
// with the smaller number, of two groups the one made first. The order
// hclust derives from such a matrix (the members of merge1 before those of
// merge2) is order() read backwards: the mirror of the drawing order.
struct MergeRow {
  std::int32_t merge1 = 0;
  std::int32_t merge2 = 0;
  double height = 0.0;
};
std::vector<MergeRow> hclust_merge(const Tree& tree);

// A row of scipy's linkage matrix: clusters numbered from 0, location k as
// k - 1 and the group made in row r (0-based) as n + r; `size` counts the
// locations of the new group. Same rows as hclust_merge, the smaller
// cluster number first as scipy's linkage puts it, so that scipy's
// leaves_list, like hclust's order, is order() read backwards (0-based).
struct LinkageRow {
  std::int64_t cluster1 = 0;
  std::int64_t cluster2 = 0;
  double height = 0.0;
  std::int64_t size = 0;
};
std::vector<LinkageRow> scipy_linkage(const Tree& tree);

// The level at which each fusion takes effect in a cut at a level: the
// highest level among itself and the fusions below it. It equals the fusion
// level except above an inversion (a fusion that lies below a group it
// joins, as the median and centroid strategies can give).
std::vector<double> effective_levels(const Tree& tree);

// True when some fusion lies below a group it joins.
bool has_inversion(const Tree& tree);

// Cophenetic levels: for every pair of locations i < j the level of the
// fusion that first puts them into one group, packed as the year's matrix
// is (records::packed_index).
std::vector<double> cophenetic_levels(const Tree& tree);

// The same levels one pair at a time, from facts that grow as n log n, not
// as the pairs do: in dendrogram order the members of a node stand side by
// side, so the fusion that first joins two locations is the latest of the
// fusions that join neighbours between them. For code that visits pairs of
// many trees, where every tree's packed levels would not fit in memory.
class CopheneticLookup {
 public:
  explicit CopheneticLookup(const Tree& tree);
  // The fusion (0-based) that first puts locations i and j (1-based,
  // distinct) into one group, and its level.
  std::size_t fusion(std::int32_t i, std::int32_t j) const;
  double level(std::int32_t i, std::int32_t j) const { return levels_.at(fusion(i, j)); }

 private:
  std::vector<std::int32_t> position_;  // by location - 1: its place in order()
  // latest_[k][p]: the latest fusion joining neighbours p .. p + 2^k - 1
  // and the next one of each.
  std::vector<std::vector<std::int32_t>> latest_;
  std::vector<double> levels_;
};

// A partition of the locations: group[k - 1] is the group of location k.
// Groups are numbered as R's cutree numbers them: 1 for the group of
// location 1, then each group as its first location comes in location
// order.
struct Partition {
  std::vector<std::int32_t> group;
  std::int32_t count = 0;
};

// The groups after the first n - K fusions, like cutree(k = K): by fusion
// order, whatever the levels. A year of fewer than K locations keeps each
// location in a group of its own. K must be at least 1.
Partition cut_into_groups(const Tree& tree, std::int64_t groups);

// The groups when the tree is cut at level H: two locations share a group
// when every fusion on the way up to the fusion that joins them lies at or
// below H, that is, when their joining fusion's effective level is at most
// H. Without an inversion this is cutree(h = H); with one, no group holds a
// fusion above H (scipy's fcluster with criterion "distance").
Partition cut_at_level(const Tree& tree, double level);

// The partition numbered as cutree does, from any labels of the groups.
Partition numbered_as_cutree(std::span<const std::int32_t> labels);

}  // namespace metclust::trees
