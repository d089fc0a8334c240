// Two indices of agreement that leave the value out (nullopt) where it is
// not defined, instead of handing on a NaN: the adjusted Rand index of two
// partitions (two years' cuts, in metclust-compare and metclust-choose) and
// Pearson's correlation of two series (two years' cophenetic levels, or a
// year's cophenetic levels against its proximities).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace metclust::trees {

// Hubert and Arabie's adjusted Rand index of two partitions of the same
// items, given as group labels item by item (any label values). From the
// contingency table n(ij) with row sums a(i), column sums b(j):
//   index    = sum C(n(ij), 2)
//   expected = sum C(a(i), 2) * sum C(b(j), 2) / C(n, 2)
//   maximum  = (sum C(a(i), 2) + sum C(b(j), 2)) / 2
//   ARI      = (index - expected) / (maximum - expected).
// The denominator is 0 only when both partitions put every item in one
// group, or both put each item in a group of its own: the two are then the
// same partition and the index is 1. Fewer than two items give nullopt.
// Labels of different lengths are a logic error.
std::optional<double> adjusted_rand(std::span<const std::int32_t> first,
                                    std::span<const std::int32_t> second);

// Pearson's correlation of two series of the same length; nullopt for fewer
// than two values or when either series is constant.
std::optional<double> pearson(std::span<const double> first, std::span<const double> second);

}  // namespace metclust::trees
