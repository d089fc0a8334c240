// The fast pair search of the agglomeration loop. For every active column K
// (location index K with the pairs (i,K), i < K) it keeps the row i of the
// smallest proximity among the active rows, ties going to the largest i, and
// values above kCeiling or not a number never taken. The closest pair is the
// smallest column minimum, ties going to the largest row and then to the
// largest column: exactly the pair, and the element, that the full scan of
// FNDMIN takes. A winner tree over the columns holds that choice; a fusion
// repairs only the columns it touches, in the same sweep that applies the
// Lance-Williams update, and replays only their paths in the tree. A column
// whose minimum the fusion took away keeps that old minimum as a bound below
// all its values and is scanned again only once the bound comes out on top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "cluster/row_lists.hpp"
#include "cluster/size_coefficients.hpp"
#include "cluster/winner_tree.hpp"

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

  // After the fusion of I and J has moved G(J) into G(I): drops J, brings
  // the winner tree up to date and scans the columns with only a bound that
  // come out on top, until a known minimum does.
  void repair(std::span<const double> PII, std::int32_t I, std::int32_t J);

 private:
  void set_column(std::int32_t K, std::int32_t row, double min);
  void set_unsure(std::int32_t K, double bound);
  void rescan(const double* pii, std::int32_t K);
  std::size_t place(std::int32_t K) const;
  void drop(std::int32_t J);
  template <class Source>
  void sweep(double* pii, std::int32_t I, std::int32_t J, Source source);

  std::int32_t n_;
  std::vector<std::int64_t> start_;   // by index K: position of the pair (1,K)
  std::vector<std::int32_t> active_;  // active indices, ascending
  // By place in active_, beside the index: start_ of the index and the size
  // of its group.
  std::vector<std::int64_t> starts_;
  std::vector<std::int32_t> sizes_at_;
  std::vector<std::int32_t> place_;  // by active index: its place in active_
  WinnerTree tree_;
  // The leaves again, by column, for the sweep's checks: the minimum (the
  // bound for a column with only a bound) and, in rows_, the row holding it
  // (0 for a column with only a bound).
  std::vector<double> min_;
  RowLists rows_;
  // Columns whose minimum is not known, only a bound at or below every
  // value of the column. Such a column is scanned only when it comes out on
  // top of the tree.
  std::vector<std::uint8_t> unsure_;
  // The columns whose minimum I or J held when the sweep began, with that
  // minimum.
  struct Held {
    std::int32_t K, row;
    double min;
  };
  std::vector<Held> held_;
  std::vector<std::int32_t> changed_;  // columns whose path to replay
  std::vector<std::int32_t> noted_;    // columns K > I whose minimum may change
  SizeCoefficients size_terms_;
};

}  // namespace metclust::cluster
