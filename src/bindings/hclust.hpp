// The clustering engine called in-process on a proximity matrix that R or
// Python hands over, and its tree in the forms those languages hold a
// hierarchical clustering in: R's "hclust" object (stats::hclust) and
// scipy's linkage matrix (scipy.cluster.hierarchy.linkage).
//
// Computations only: the R and Python packages (r/, python/) convert their
// own objects to and from these vectors.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "trees/tree.hpp"

namespace metclust::bindings {

// Locations numbered from 0 (Python) or from 1 (R) in error messages.
enum class Numbering { FromZero, FromOne };

// The number of locations n whose pairs fill a vector of `pairs` values,
// n (n - 1) / 2 = pairs; -1 when no n gives that size.
std::int64_t locations_of_pairs(std::int64_t pairs);

// The packed matrix of the engine (cluster/packed.hpp) from the pairs in the
// order of an R "dist" object and of scipy's condensed matrix: (1,2), (1,3),
// ..., (1,n), (2,3), ..., (n-1,n). Throws std::invalid_argument when the
// size fits no number of locations or fewer than two, or a value is NaN or
// infinite.
std::vector<double> packed_from_pairs(std::span<const double> pairs, Numbering numbering);

// The packed matrix from a square matrix of n x n values (either storage
// order, as it must be symmetric). Throws std::invalid_argument when n < 2,
// when the two triangles differ in any value, when a value off the diagonal
// is NaN or infinite, or, with `zero_diagonal`, when a diagonal value is not
// 0 (scipy's squareform asks for that; R's as.dist ignores the diagonal).
std::vector<double> packed_from_square(std::span<const double> square, std::int64_t n,
                                       bool zero_diagonal, Numbering numbering);

// The engine's tree of the packed matrix of n locations by strategy 1..8,
// as the program clusters a year: AGGLOM with flexibility 0 and the fast
// pair search. The matrix is used up. Throws std::invalid_argument for a
// strategy outside 1..8, and std::domain_error when at some fusion no pair
// of groups lies at or below the engine's ceiling of 1e20.
trees::Tree cluster_packed(std::vector<double> packed, std::int32_t n, std::int32_t strategy);

// The tree as stats::hclust returns it (n >= 2). Rows in fusion order; -k is
// location k, a positive r the group made in row r. Within a row a location
// comes before a group, of two locations the smaller number comes first and
// of two groups the earlier row. `order` lists the locations as
// plot.hclust draws them, the first entry of each row left of the second.
struct Hclust {
  std::vector<std::int32_t> merge1;
  std::vector<std::int32_t> merge2;
  std::vector<double> height;
  std::vector<std::int32_t> order;
};
Hclust stats_hclust(const trees::Tree& tree);

// The tree as scipy's linkage matrix, (n - 1) x 4 row by row: the two
// clusters joined (location k is k - 1, the group made in row r, counted
// from 0, is n + r), the smaller number first as scipy writes it, the level
// and the number of locations in the new group. Rows in fusion order.
std::vector<double> scipy_linkage_matrix(const trees::Tree& tree);

}  // namespace metclust::bindings
