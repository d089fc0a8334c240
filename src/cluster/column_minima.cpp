#include "cluster/column_minima.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "cluster/agglom.hpp"
#include "cluster/packed.hpp"
#include "cluster/segment.hpp"
#include "cluster/strategy_coefficients.hpp"

namespace metclust::cluster {
namespace {

// The minimum of a column without a pair that can be taken: above every
// value that can.
constexpr double kEmpty = std::numeric_limits<double>::infinity();

std::size_t ix(std::int64_t k) { return static_cast<std::size_t>(k); }

// Leaves for columns 0..n: the least power of two above n.
std::int32_t leaves_for(std::int32_t n) {
  if (n >= (std::int32_t{1} << 29)) throw std::length_error("too many locations for the search");
  std::int32_t leaves = 1;
  while (leaves <= n) leaves *= 2;
  return leaves;
}

// Two 8-byte reals worked on side by side (a vector type of GCC and Clang,
// the compilers the program is built with; on x86-64 one SSE2 register):
// each operation gives in each lane the bits that the same operation on the
// lane's values alone gives, so the values of two K can be made at once.
using Pair = double __attribute__((vector_size(16)));
using PairBits = std::int64_t __attribute__((vector_size(16)));

Pair splat(double x) { return Pair{x, x}; }

Pair load_pair(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The smaller of v and floor, lane by lane; a v that is not a number
// leaves floor. Of a zero and a minus zero either may come out: the values
// found this way serve only as the level a second pass looks for.
Pair lower(Pair v, Pair floor) { return v < floor ? v : floor; }
double lower(double v, double floor) { return v < floor ? v : floor; }
double lowest(Pair floor) { return lower(floor[1], floor[0]); }

bool any(PairBits lanes) { return (lanes[0] | lanes[1]) != 0; }

// The coefficients of one K, with the term b * D(I,J) already formed: it is
// the same product for every K of a fusion, so forming it once changes no
// bit of the value.
struct Terms {
  double ai, aj, bd, g;
};

struct PairTerms {
  Pair ai, aj, bd, g;
};

Terms terms(const Coefficients& c, double dij) { return {c.ai, c.aj, c.b * dij, c.g}; }

PairTerms pair_terms(const Terms& a, const Terms& b) {
  return {Pair{a.ai, b.ai}, Pair{a.aj, b.aj}, Pair{a.bd, b.bd}, Pair{a.g, b.g}};
}

// lance_williams() with the product b * D(I,J) given, for one K and for two.
double combine(const Terms& t, double dik, double djk) {
  const double a = std::fabs(dik - djk);
  return ((t.aj * djk + t.ai * dik) + t.bd) + t.g * a;
}

Pair combine(const PairTerms& t, Pair dik, Pair djk) {
  constexpr PairBits magnitude = {0x7fffffffffffffff, 0x7fffffffffffffff};
  const Pair a = std::bit_cast<Pair>(std::bit_cast<PairBits>(dik - djk) & magnitude);
  return ((t.aj * djk + t.ai * dik) + t.bd) + t.g * a;
}

// A column's minimum and the row holding it (0, and kEmpty, when no value
// can be taken).
struct Found {
  std::int32_t row;
  double min;
};

// The minimum of the values at rows 1..count, side by side, in two passes:
// the first takes the smallest value, eight at a time in four running
// minima; the second goes back from the last row, eight at a time, to the
// first value at most that minimum, the value the full scan with its <= rule
// ends on, and reads it there, so that a zero keeps its sign. Both passes
// take the last eight values whether or not they overlap others: a value
// met twice changes no minimum.
Found dense_minimum(const double* column, std::int32_t count) {
  double m = kCeiling;
  std::int32_t end = count;  // the values at rows 1..end are still to search
  if (count >= 8) {
    Pair floor[4] = {splat(kCeiling), splat(kCeiling), splat(kCeiling), splat(kCeiling)};
    for (std::int32_t i = 0; i + 8 <= count; i += 8) {
      for (int lane = 0; lane < 4; ++lane) {
        floor[lane] = lower(load_pair(column + i + 2 * lane), floor[lane]);
      }
    }
    for (int lane = 0; lane < 4; ++lane) {
      floor[lane] = lower(load_pair(column + count - 8 + 2 * lane), floor[lane]);
    }
    m = lowest(lower(lower(floor[0], floor[1]), lower(floor[2], floor[3])));
    const Pair level = splat(m);
    for (std::int32_t at = count - 8;; at = std::max(at - 8, 0)) {
      const PairBits hit =
          (load_pair(column + at) <= level) | (load_pair(column + at + 2) <= level) |
          (load_pair(column + at + 4) <= level) | (load_pair(column + at + 6) <= level);
      if (any(hit)) {
        end = at + 8;
        break;
      }
      if (at == 0) {
        end = 0;
        break;
      }
    }
  } else {
    for (std::int32_t i = 0; i < count; ++i) m = lower(column[i], m);
  }
  for (std::int32_t row = end; row > 0; --row) {
    if (column[row - 1] <= m) return {row, column[row - 1]};
  }
  return {0, kEmpty};
}

// The values for the K at places p and p + 1 of the active list, side by
// side, from D(I,K) and D(J,K) of each.
template <class Source>
void combine_two(const Source& source, std::size_t p, double dik1, double dik2, double djk1,
                 double djk2, double& v1, double& v2) {
  const Pair v = combine(source.two(p), Pair{dik1, dik2}, Pair{djk1, djk2});
  v1 = v[0];
  v2 = v[1];
}

// The coefficients of the strategies that do not weigh by K's size: the
// same for the whole sweep.
struct FixedTerms {
  Terms t;
  PairTerms both;
  Terms one(std::size_t) const { return t; }
  PairTerms two(std::size_t) const { return both; }
};

// The coefficients of the strategy that weighs by K's size, looked up by
// the size of the group at each place of the active list.
struct SizeTerms {
  const std::int32_t* sizes;  // by place in the active list
  const double* table;        // ai, aj, bd, g by size

  Terms one(std::size_t p) const {
    const double* const c = table + 4 * ix(sizes[p]);
    return Terms{c[0], c[1], c[2], c[3]};
  }
  PairTerms two(std::size_t p) const {
    const double* const c1 = table + 4 * ix(sizes[p]);
    const double* const c2 = table + 4 * ix(sizes[p + 1]);
    const Pair a1 = load_pair(c1);
    const Pair a2 = load_pair(c2);
    const Pair b1 = load_pair(c1 + 2);
    const Pair b2 = load_pair(c2 + 2);
    return {Pair{a1[0], a2[0]}, Pair{a1[1], a2[1]}, Pair{b1[0], b2[0]}, Pair{b1[1], b2[1]}};
  }
};

}  // namespace

ColumnMinima::ColumnMinima(std::int32_t n)
    : n_(n < 0 ? 0 : n),
      leaves_(leaves_for(n_)),
      tree_(2 * ix(leaves_), ~Node{0}) {
  start_.resize(ix(n_) + 1);
  for (std::int32_t K = 1; K <= n_; ++K) start_[ix(K)] = packed_index(1, K);
  active_.reserve(ix(n_));
  starts_.reserve(ix(n_));
  sizes_at_.reserve(ix(n_));
  place_.assign(ix(n_) + 1, 0);
  min_.assign(ix(n_) + 1, kEmpty);
  row_.assign(ix(n_) + 1, 0);
  first_.assign(ix(n_) + 1, 0);
  next_.assign(ix(n_) + 1, 0);
  prev_.assign(ix(n_) + 1, 0);
  held_.reserve(ix(n_));
  unsure_.assign(ix(n_) + 1, 0);
  changed_.reserve(ix(n_) + 2);
  noted_.resize(ix(n_) + 1);
  size_.assign(ix(n_) + 1, 0);
  groups_of_size_.assign(ix(n_) + 1, 0);
  sizes_.reserve(ix(n_));
  size_place_.assign(ix(n_) + 1, 0);
  by_size_.assign(4 * (ix(n_) + 1), 0.0);
}

namespace {

// The column's minimum as an unsigned word that orders as the numbers do.
// Adding zero makes a minus zero a zero; every other value stays itself.
std::uint64_t level_of(double min) {
  const auto bits = std::bit_cast<std::uint64_t>(min + 0.0);
  return bits >> 63 != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

}  // namespace

// Takes column K out of the list of the row holding its minimum.
inline void ColumnMinima::unlink(std::int32_t K) {
  const std::int32_t row = row_[ix(K)];
  if (row == 0) return;
  const std::int32_t before = prev_[ix(K)];
  const std::int32_t after = next_[ix(K)];
  (before != 0 ? next_[ix(before)] : first_[ix(row)]) = after;
  if (after != 0) prev_[ix(after)] = before;
  row_[ix(K)] = 0;
}

inline void ColumnMinima::set_column(std::int32_t K, std::int32_t row, double min) {
  const double kept = row == 0 ? kEmpty : min;
  min_[ix(K)] = kept;
  unsure_[ix(K)] = 0;
  if (row_[ix(K)] != row) {
    unlink(K);
    if (row != 0) {
      const std::int32_t after = first_[ix(row)];
      next_[ix(K)] = after;
      prev_[ix(K)] = 0;
      if (after != 0) prev_[ix(after)] = K;
      first_[ix(row)] = K;
    }
    row_[ix(K)] = row;
  }
  const auto key = (static_cast<std::uint64_t>(row) << 32) | static_cast<std::uint32_t>(K);
  tree_[ix(leaves_ + K)] = node_of(level_of(kept), ~key);
}

// The column's minimum is not known, only a bound at or below its values.
inline void ColumnMinima::set_unsure(std::int32_t K, double bound) {
  unlink(K);
  min_[ix(K)] = bound;
  unsure_[ix(K)] = 1;
  tree_[ix(leaves_ + K)] = node_of(level_of(bound), static_cast<std::uint64_t>(K));
}

// Plays column K's leaf up towards the root against the sibling at each
// level. The order is total (no two columns share a key), so the side does
// not matter. Once a node comes out as it was, the nodes above it stay as
// they are: they depend on K's leaf only through it.
void ColumnMinima::replay(std::int32_t K) {
  std::int32_t node = leaves_ + K;
  Node w = tree_[ix(node)];
  while (node > 1) {
    w = std::min(w, tree_[ix(node ^ 1)]);
    node /= 2;
    Node& parent = tree_[ix(node)];
    if (parent == w) return;
    parent = w;
  }
}

// The place of active index K in active_: the number of active indices
// below it.
std::size_t ColumnMinima::place(std::int32_t K) const {
  const auto at = static_cast<std::size_t>(place_[ix(K)]);
  if (at >= active_.size() || active_[at] != K) throw std::out_of_range("group is not active");
  return at;
}

// Takes J out of the list; every index above it moves down one place.
void ColumnMinima::drop(std::int32_t J) {
  const auto at = static_cast<std::ptrdiff_t>(place(J));
  active_.erase(active_.begin() + at);
  starts_.erase(starts_.begin() + at);
  sizes_at_.erase(sizes_at_.begin() + at);
  for (std::int32_t* k = place_.data() + J + 1; k != place_.data() + place_.size(); ++k) --*k;
}

// One group more (change 1) or less (change -1) of the given size, which
// lies in 1..n: group sizes add up to the number of locations.
void ColumnMinima::count_size(std::int32_t size, std::int32_t change) {
  if (size < 1 || size > n_) throw std::out_of_range("group size outside 1..n");
  std::int32_t& groups = groups_of_size_[ix(size)];
  if (groups == 0) {
    size_place_[ix(size)] = static_cast<std::int32_t>(sizes_.size());
    sizes_.push_back(size);
  }
  groups += change;
  if (groups == 0) {
    const std::int32_t last = sizes_.back();
    sizes_[ix(size_place_[ix(size)])] = last;
    size_place_[ix(last)] = size_place_[ix(size)];
    sizes_.pop_back();
  }
}

// Every pair (i,K) with i < K <= n and every G(k), k <= n, lies inside the
// segments once these hold; the loops below rely on it.
void ColumnMinima::build(std::span<const double> PII, std::span<const std::int32_t> G) {
  require_length(G, n_, "group sizes shorter than the matrix");
  require_length(PII, packed_size(n_), "proximity segment shorter than the matrix");
  active_.clear();
  starts_.clear();
  sizes_at_.clear();
  sizes_.clear();
  std::fill(groups_of_size_.begin(), groups_of_size_.end(), 0);
  for (std::int32_t k = 1; k <= n_; ++k) {
    size_[ix(k)] = G[ix(k - 1)];
    if (G[ix(k - 1)] != 0) {
      count_size(G[ix(k - 1)], 1);
      place_[ix(k)] = static_cast<std::int32_t>(active_.size());
      sizes_at_.push_back(G[ix(k - 1)]);
      active_.push_back(k);
      starts_.push_back(start_[ix(k)]);
    }
  }
  std::fill(row_.begin(), row_.end(), 0);
  std::fill(first_.begin(), first_.end(), 0);
  std::fill(unsure_.begin(), unsure_.end(), 0);
  for (std::int32_t K = 0; K <= n_; ++K) set_column(K, 0, kEmpty);
  if (active_.size() == ix(n_)) {
    // Every row active, as at the start of a year: the column's values are
    // taken side by side, without the list.
    for (std::int32_t K = 2; K <= n_; ++K) {
      const Found found = dense_minimum(PII.data() + start_[ix(K)], K - 1);
      set_column(K, found.row, found.min);
    }
  } else {
    for (const std::int32_t K : active_) rescan(PII.data(), K);
  }
  for (std::int32_t node = leaves_ - 1; node >= 1; --node) {
    tree_[ix(node)] = std::min(tree_[ix(2 * node)], tree_[ix(2 * node + 1)]);
  }
}

// The column's pairs lie side by side in the packed matrix; the active rows
// below K, the first place(K) entries of the list, are read through it, in
// the two passes of dense_minimum().
void ColumnMinima::rescan(const double* pii, std::int32_t K) {
  const double* const column = pii + start_[ix(K)];
  const std::int32_t* const rows = active_.data();
  const std::size_t count = place(K);
  Pair floor_a = splat(kCeiling);
  Pair floor_b = splat(kCeiling);
  std::size_t p = 0;
  for (; p + 4 <= count; p += 4) {
    floor_a = lower(Pair{column[rows[p] - 1], column[rows[p + 1] - 1]}, floor_a);
    floor_b = lower(Pair{column[rows[p + 2] - 1], column[rows[p + 3] - 1]}, floor_b);
  }
  double m = lowest(lower(floor_a, floor_b));
  for (; p < count; ++p) m = lower(column[rows[p] - 1], m);
  for (p = count; p > 0; --p) {
    const double d = column[rows[p - 1] - 1];
    if (d <= m) {
      set_column(K, rows[p - 1], d);
      return;
    }
  }
  set_column(K, 0, kEmpty);
}

bool ColumnMinima::closest(std::int32_t& I, std::int32_t& J, double& DMIN) const {
  const auto key = ~static_cast<std::uint64_t>(tree_[1]);
  const auto row = static_cast<std::int32_t>(key >> 32);
  if (row == 0) return false;
  I = row;
  J = static_cast<std::int32_t>(key & 0xffffffff);
  DMIN = min_[ix(J)];
  return true;
}

void ColumnMinima::update(std::span<double> PII, std::span<const std::int32_t> G,
                          std::int32_t I, std::int32_t J, double BETA, std::int32_t ISTRAT) {
  if (I < 1 || I >= J || J > n_) throw std::out_of_range("fusion outside the matrix");
  require_length(G, n_, "group sizes shorter than the matrix");
  require_length(std::span<const double>(PII), packed_size(n_),
                 "proximity segment shorter than the matrix");
  const double gi = G[ix(I - 1)];
  const double gj = G[ix(J - 1)];
  const double dij = PII[ix(packed_index(I, J))];
  if (!depends_on_k(ISTRAT)) {
    const Terms t = terms(coefficients(ISTRAT, BETA, gi, gj, 1.0), dij);
    sweep(PII.data(), I, J, FixedTerms{t, pair_terms(t, t)});
    return;
  }
  // The coefficients depend on K only through its size: they are worked out
  // once for each size that an active group has.
  if (gi != size_[ix(I)] || gj != size_[ix(J)]) throw std::logic_error("group sizes out of step");
  double* const table = by_size_.data();
  for (const std::int32_t size : sizes_) {
    const Terms t = terms(coefficients(ISTRAT, BETA, gi, gj, size), dij);
    double* const row = table + 4 * ix(size);
    row[0] = t.ai;
    row[1] = t.aj;
    row[2] = t.bd;
    row[3] = t.g;
  }
  sweep(PII.data(), I, J, SizeTerms{sizes_at_.data(), table});
}

// The active indices fall into three runs: K < I, where (K,I) and (K,J) lie
// in columns I and J; I < K < J, where (I,K) lies in column K; and K > J,
// where (I,K) and (J,K) both lie in column K. Each run is taken two K at a
// time.
template <class Source>
void ColumnMinima::sweep(double* const pii, std::int32_t I, std::int32_t J, const Source source) {
  const std::size_t pos_i = place(I);
  const std::size_t pos_j = place(J);
  const std::size_t end = active_.size();
  const std::int32_t* const ks = active_.data();
  const std::int64_t* const starts = starts_.data();
  double* const column_i = pii + start_[ix(I)];
  const double* const column_j = pii + start_[ix(J)];
  changed_.clear();

  // Column I is rewritten whole by the rows K < I, which come in ascending
  // order: its minimum is found as the values are made, then its row.
  double floor1 = kCeiling;
  double floor2 = kCeiling;
  std::size_t p = 0;
  for (; p + 2 <= pos_i; p += 2) {
    const std::int32_t K1 = ks[p];
    const std::int32_t K2 = ks[p + 1];
    double v1, v2;
    combine_two(source, p, column_i[K1 - 1], column_i[K2 - 1], column_j[K1 - 1],
                column_j[K2 - 1], v1, v2);
    column_i[K1 - 1] = v1;
    column_i[K2 - 1] = v2;
    floor1 = lower(v1, floor1);
    floor2 = lower(v2, floor2);
  }
  if (p < pos_i) {
    const std::int32_t K = ks[p];
    const double v = combine(source.one(p), column_i[K - 1], column_j[K - 1]);
    column_i[K - 1] = v;
    floor1 = lower(v, floor1);
  }
  const double m = lower(floor2, floor1);
  for (p = pos_i; p > 0 && !(column_i[ks[p - 1] - 1] <= m); --p) {
  }
  set_column(I, p == 0 ? 0 : ks[p - 1], p == 0 ? kEmpty : column_i[ks[p - 1] - 1]);
  changed_.push_back(I);

  // The columns K > I. A column whose minimum I or J held is taken aside,
  // its minimum in the plain array made not a number so that the sweep
  // passes it by. Of the others, most keep their minimum and its row; the
  // sweep only notes, without branching, those that may not (the new value
  // at most the minimum), so that the loads of the scattered pairs overlap,
  // and settles them afterwards.
  held_.clear();
  for (const std::int32_t row : {I, J}) {
    for (std::int32_t K = first_[ix(row)]; K != 0; K = next_[ix(K)]) {
      if (K == J) continue;
      held_.push_back(Held{K, row, min_[ix(K)]});
      min_[ix(K)] = std::numeric_limits<double>::quiet_NaN();
    }
  }
  std::int32_t* const noted = noted_.data();
  const double* const mins = min_.data();
  std::size_t count = 0;
  auto note_one = [&](double v, std::int32_t K) {
    noted[count] = K;
    count += static_cast<std::size_t>(v <= mins[K]);
  };
  for (p = pos_i + 1; p + 2 <= pos_j; p += 2) {
    const std::int32_t K1 = ks[p];
    const std::int32_t K2 = ks[p + 1];
    double* const ik1 = pii + starts[p] + (I - 1);
    double* const ik2 = pii + starts[p + 1] + (I - 1);
    double v1, v2;
    combine_two(source, p, *ik1, *ik2, column_j[K1 - 1], column_j[K2 - 1], v1, v2);
    *ik1 = v1;
    *ik2 = v2;
    note_one(v1, K1);
    note_one(v2, K2);
  }
  if (p < pos_j) {
    const std::int32_t K = ks[p];
    double& ik = pii[starts[p] + (I - 1)];
    ik = combine(source.one(p), ik, column_j[K - 1]);
    note_one(ik, K);
  }
  for (p = pos_j + 1; p + 2 <= end; p += 2) {
    const std::int32_t K1 = ks[p];
    const std::int32_t K2 = ks[p + 1];
    double* const column_k1 = pii + starts[p];
    double* const column_k2 = pii + starts[p + 1];
    double v1, v2;
    combine_two(source, p, column_k1[I - 1], column_k2[I - 1], column_k1[J - 1],
                column_k2[J - 1], v1, v2);
    column_k1[I - 1] = v1;
    column_k2[I - 1] = v2;
    note_one(v1, K1);
    note_one(v2, K2);
  }
  if (p < end) {
    const std::int32_t K = ks[p];
    double* const column_k = pii + starts[p];
    column_k[I - 1] = combine(source.one(p), column_k[I - 1], column_k[J - 1]);
    note_one(column_k[I - 1], K);
  }
  // A noted column's minimum is held by another row: it gives way to v when
  // v is smaller, or equal with I the larger row. A column with only a bound
  // takes v when v is below the bound, and keeps the bound when v equals it.
  for (std::size_t t = 0; t < count; ++t) {
    const std::int32_t K = noted[t];
    const double v = pii[start_[ix(K)] + I - 1];
    const double min = min_[ix(K)];
    if (unsure_[ix(K)] != 0 ? v < min : v <= kCeiling && (v < min || row_[ix(K)] < I)) {
      set_column(K, I, v);
      changed_.push_back(K);
    }
  }
  // A minimum held by row I or J gives way to a smaller v; a minimum held by
  // row I stays with I when v equals it. Otherwise the minimum the column
  // had stays below or at all its values: the column keeps it as a bound.
  for (const Held& h : held_) {
    const double v = pii[start_[ix(h.K)] + I - 1];
    if (v < h.min || (h.row == I && v <= h.min)) {
      set_column(h.K, I, v);
    } else {
      set_unsure(h.K, h.min);
    }
    changed_.push_back(h.K);
  }
  set_column(J, 0, kEmpty);
  changed_.push_back(J);
}

void ColumnMinima::repair(std::span<const double> PII, std::int32_t I, std::int32_t J) {
  drop(J);
  count_size(size_[ix(I)], -1);
  count_size(size_[ix(J)], -1);
  size_[ix(I)] += size_[ix(J)];
  size_[ix(J)] = 0;
  count_size(size_[ix(I)], 1);
  sizes_at_[place(I)] = size_[ix(I)];
  for (const std::int32_t K : changed_) replay(K);
  // A column with only a bound on top is scanned, until a known minimum is.
  for (auto tie = static_cast<std::uint64_t>(tree_[1]); tie >> 32 == 0;
       tie = static_cast<std::uint64_t>(tree_[1])) {
    const auto K = static_cast<std::int32_t>(tie);
    rescan(PII.data(), K);
    replay(K);
  }
}

}  // namespace metclust::cluster
