// The fast pair search of the agglomeration loop. For every active column K
// (location index K with the pairs (i,K), i < K) it keeps the row i of the
// smallest proximity among the active rows, ties going to the largest i, and
// values above kCeiling or not a number never taken. The closest pair is the
// smallest column minimum, ties going to the largest row and then to the
// largest column: exactly the pair, and the element, that a full scan of
// FNDMIN takes. After a fusion only the columns it touches are repaired.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace metclust::cluster {

class ColumnMinima {
 public:
  // Storage for n locations; the only allocation of a year's search.
  explicit ColumnMinima(std::int32_t n);

  // Scans every column of the matrix of n locations.
  void build(std::span<const double> PII, std::span<const std::int32_t> G);

  // The closest active pair (I < J) and its proximity; false when no active
  // pair has a proximity at or below kCeiling.
  bool closest(std::int32_t& I, std::int32_t& J, double& DMIN) const;

  // Repairs the columns after the fusion of I and J (I < J), once the
  // Lance-Williams update has rewritten the pairs (I,K) and G(J) is 0.
  void fused(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t I,
             std::int32_t J);

 private:
  void rescan(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t K);

  std::int32_t n_;
  // Indexed by column K = 0..n (0 and 1 unused): the row of the column's
  // minimum (0: the column has no pair that can be taken) and its value.
  std::vector<std::int32_t> row_;
  std::vector<double> min_;
};

}  // namespace metclust::cluster
