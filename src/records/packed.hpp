// The packed proximity matrix: the strict upper triangle of the symmetric
// NL x NL matrix, stored column after column, so that the proximities of
// location j to the locations 1..j-1 stand side by side. This header is the
// only place that knows where a pair lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <utility>

namespace metclust::records {

// 0-based position of the pair (i, j) of 1-based location numbers; either
// order is accepted, the larger number plays j. 64-bit throughout, so no
// matrix size can overflow it.
constexpr std::int64_t packed_index(std::int64_t i, std::int64_t j) {
  if (i > j) std::swap(i, j);
  return (j - 1) * (j - 2) / 2 + i - 1;
}

// The element of the pair (i, j), checked against the matrix segment: a pair
// with a number below 1, the diagonal or a position past the end throws.
template <class T>
T& pair_at(std::span<T> pii, std::int64_t i, std::int64_t j) {
  if (i < 1 || j < 1 || i == j) throw std::out_of_range("proximity pair outside the matrix");
  const std::int64_t pos = packed_index(i, j);
  if (static_cast<std::uint64_t>(pos) >= pii.size()) {
    throw std::out_of_range("proximity pair outside the matrix segment");
  }
  return pii[static_cast<std::size_t>(pos)];
}

// Number of elements a matrix of n locations occupies.
constexpr std::int64_t packed_size(std::int64_t n) { return n < 2 ? 0 : n * (n - 1) / 2; }

}  // namespace metclust::records
