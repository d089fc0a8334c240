// The fast pair search of the agglomeration loop. For every active column K
// (location index K with the pairs (i,K), i < K) it keeps the row i of the
// smallest proximity among the active rows, ties going to the largest i, and
// values above kCeiling or not a number never taken. The closest pair is the
// smallest column minimum, ties going to the largest row and then to the
// largest column: exactly the pair, and the element, that the full scan of
// FNDMIN takes. A winner tree over the columns holds that choice; a fusion
// repairs only the columns it touches, in the same sweep that applies the
// Lance-Williams update, and replays only their paths in the tree.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cluster/strategy_coefficients.hpp"

namespace metclust::cluster {

class ColumnMinima {
 public:
  // Storage for n locations, allocated once for the year; all of it is
  // bounded by a small multiple of n.
  explicit ColumnMinima(std::int32_t n);

  // Takes the active indices from G and scans every column.
  void build(std::span<const double> PII, std::span<const std::int32_t> G);

  // The closest active pair (I < J) and its proximity; false when no active
  // pair has a proximity at or below kCeiling.
  bool closest(std::int32_t& I, std::int32_t& J, double& DMIN) const;

  // The update of LWUPD for the fusion of I and J (I < J), value for value,
  // over the active indices only, with G still holding the sizes before the
  // fusion; the column minima that the new values settle are set on the way.
  void update(std::span<double> PII, std::span<const std::int32_t> G, std::int32_t I,
              std::int32_t J, double BETA, std::int32_t ISTRAT);

  // After G(J) has become 0: drops J, scans again the columns whose minimum
  // the update could not settle, and brings the winner tree up to date.
  void repair(std::span<const double> PII, std::int32_t J);

 private:
  // A column's minimum and the row holding it, kept in the column's leaf of
  // the winner tree; an inner node holds the winner of its two children.
  // key = row * 2^32 + column orders equal minima as the full scan does; a
  // column without a pair that can be taken has row 0 and minimum +infinity.
  struct Node {
    double min;
    std::int64_t key;
  };
  static Node winner(const Node& a, const Node& b);
  Node& leaf(std::int32_t K) { return tree_[static_cast<std::size_t>(leaves_ + K)]; }
  std::int32_t row_of(std::int32_t K) { return static_cast<std::int32_t>(leaf(K).key >> 32); }
  void set_column(std::int32_t K, std::int32_t row, double min);
  void replay(std::int32_t K);

  void rescan(std::span<const double> PII, std::int32_t K);
  template <class CoefficientsFor>
  void sweep(std::span<double> PII, std::int32_t I, std::int32_t J, double dij,
             CoefficientsFor coefficients_for);
  void settle(std::int32_t K, double v, std::int32_t I, std::int32_t J);

  std::int32_t n_;
  std::vector<std::int32_t> active_;  // active indices, ascending
  std::int32_t leaves_;               // leaf of column K: node leaves_ + K
  std::vector<Node> tree_;            // node 1 is the root
  std::vector<std::int32_t> pending_;  // columns to scan again after a fusion
  std::vector<std::int32_t> changed_;  // columns whose path to replay
  std::vector<std::int32_t> noted_;    // columns K > I whose minimum may change
  // Coefficients by group size for the strategy that weighs by K's size,
  // valid where made_in holds the number of the current sweep.
  struct SizeCoefficients {
    std::int64_t made_in;
    Coefficients c;
  };
  std::vector<SizeCoefficients> by_size_;
  std::int64_t sweeps_ = 0;
};

}  // namespace metclust::cluster
