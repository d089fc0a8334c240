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
  // A column's minimum and the row holding it, kept in the column's leaf of
  // the winner tree as one 16-byte unsigned number, level * 2^64 + tie, that
  // orders the columns as the full scan does: `level` orders the minima as
  // numbers (a zero and a minus zero alike), `tie` = ~(row * 2^32 + column)
  // puts of equal minima the larger row first, then the larger column. The
  // smaller node wins; an inner node holds the winner of its two children. A
  // column without a pair that can be taken has row 0 and the level of
  // +infinity.
  __extension__ using Node = unsigned __int128;
  static Node node_of(std::uint64_t level, std::uint64_t tie) {
    return (static_cast<Node>(level) << 64) | tie;
  }
  void set_column(std::int32_t K, std::int32_t row, double min);
  void set_unsure(std::int32_t K, double bound);
  void unlink(std::int32_t K);
  void replay(std::int32_t K);

  void rescan(const double* pii, std::int32_t K);
  std::size_t place(std::int32_t K) const;
  void drop(std::int32_t J);
  void count_size(std::int32_t size, std::int32_t change);
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
  std::int32_t leaves_;              // leaf of column K: node leaves_ + K
  std::vector<Node> tree_;           // node 1 is the root
  // The leaves again, as plain arrays by column, for the sweep's checks:
  // the minimum (the bound for a column with only a bound) and its row (0
  // for a column with only a bound).
  std::vector<double> min_;
  std::vector<std::int32_t> row_;
  // The columns whose minimum a row holds, a list per row: first_ by row,
  // next_ and prev_ by column, 0 ending a list.
  std::vector<std::int32_t> first_, next_, prev_;
  // Columns whose minimum is not known, only a bound at or below every
  // value of the column; their leaf holds the bound and tie = K, so that
  // they win over every known minimum that is not below the bound. Such a
  // column is scanned only when it comes out on top.
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
  // The group sizes by index, as G holds them, and the sizes that active
  // groups have: how many groups have each, and a list of those that some
  // group has, with each one's place in it.
  std::vector<std::int32_t> size_;
  std::vector<std::int32_t> groups_of_size_;
  std::vector<std::int32_t> sizes_;
  std::vector<std::int32_t> size_place_;
  // Coefficients by group size for the strategy that weighs by K's size,
  // four to a size (ai, aj, b * D(I,J), g), made for the sizes in sizes_ at
  // the start of each sweep.
  std::vector<double> by_size_;
};

}  // namespace metclust::cluster
