// How well a year's tree fits the year, and how many groups it suggests:
// the figures by which people choose a strategy and a number of groups
// (metclust-choose). Each leaves the value out (nullopt) where it is not
// defined. `proximities` are a year's proximities packed as
// records::packed_index numbers the pairs, location k being location k of
// the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "trees/tree.hpp"

namespace metclust::trees {

// Pearson's correlation between the proximities and the cophenetic levels
// over all pairs, as R's cor(cophenetic(h), d). Undefined for fewer than
// two pairs or a constant series. Proximities of another count are a logic
// error.
std::optional<double> cophenetic_correlation(const Tree& tree, std::span<const double> proximities);

// The agglomerative coefficient: the mean over the locations of
// 1 - (level of the fusion at which the location first joins a group) /
// (level of the last fusion). Undefined without fusions or with a last
// level of 0 or below. For a tree without inversions it is Kaufman and
// Rousseeuw's coefficient, which cluster's agnes() gives as `ac` (and
// coefHier() of its banner).
std::optional<double> agglomerative_coefficient(const Tree& tree);

// Mojena's stopping rule with constant k: of the n - 1 fusion levels in
// fusion order, with mean m and sample standard deviation s, the first
// fusion j (1-based) whose level exceeds m + k s leaves n - j + 1 groups;
// 1 when no level does. Undefined for fewer than 3 locations.
std::optional<std::int64_t> mojena_groups(const Tree& tree, double k = 1.25);

// The silhouette width of each location in a partition, as cluster's
// silhouette() with the proximities as dissimilarities: with a(i) the mean
// dissimilarity of location i to the other members of its group and b(i)
// the smallest mean dissimilarity to the members of another group,
// (b - a) / max(a, b), and 0 for a location alone in its group (or where
// a = b = 0). Empty for a partition of fewer than 2 groups. Proximities of
// another count are a logic error.
std::vector<double> silhouette_widths(const Partition& partition,
                                      std::span<const double> proximities);

// The mean silhouette width of a partition into 2 to n - 1 groups;
// undefined for any other number of groups.
std::optional<double> mean_silhouette_width(const Partition& partition,
                                            std::span<const double> proximities);

// True when silhouette widths mean something for these proximities: every
// one finite and none below 0.
bool dissimilarities(std::span<const double> proximities);

}  // namespace metclust::trees
