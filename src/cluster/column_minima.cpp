#include "cluster/column_minima.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include "cluster/column_scan.hpp"
#include "cluster/lance_williams_formula.hpp"
#include "cluster/search_ceiling.hpp"
#include "cluster/segment.hpp"
#include "cluster/strategy_coefficients.hpp"
#include "cluster/sweep_terms.hpp"
#include "cluster/two_lane.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {
namespace {

std::size_t ix(std::int64_t k) { return static_cast<std::size_t>(k); }

// The formula for the K at places p and p + 1 of the active list, side by
// side, from D(I,K) and D(J,K) of each.
template <class Source>
void combine_two(const Source& source, std::size_t p, double dik1, double dik2, double djk1,
                 double djk2, double& v1, double& v2) {
  const TwoReals v = lance_williams(source.two(p), TwoReals{dik1, dik2}, TwoReals{djk1, djk2});
  v1 = v[0];
  v2 = v[1];
}

// In the runs K > I each K's pairs lie in a column of their own, far apart
// in a large matrix: the pairs kAhead places on are asked for early, so that
// the memory brings many of them in at once. A matrix of up to kNearBytes
// stays close to the processor, where asking early only costs time.
constexpr std::size_t kAhead = 16;
constexpr std::int64_t kNearBytes = std::int64_t{2} << 20;
inline void prefetch(const double* pair) { __builtin_prefetch(pair, 1, 3); }

}  // namespace

ColumnMinima::ColumnMinima(std::int32_t n)
    : n_(n < 0 ? 0 : n), tree_(n_), rows_(n_), size_terms_(n_) {
  start_.resize(ix(n_) + 1);
  for (std::int32_t K = 1; K <= n_; ++K) start_[ix(K)] = records::packed_index(1, K);
  active_.reserve(ix(n_));
  starts_.reserve(ix(n_));
  sizes_at_.reserve(ix(n_));
  place_.assign(ix(n_) + 1, 0);
  min_.assign(ix(n_) + 1, kEmpty);
  held_.reserve(ix(n_));
  unsure_.assign(ix(n_) + 1, 0);
  changed_.reserve(ix(n_) + 2);
  noted_.resize(ix(n_) + 1);
}

inline void ColumnMinima::set_column(std::int32_t K, std::int32_t row, double min) {
  const double kept = row == 0 ? kEmpty : min;
  min_[ix(K)] = kept;
  unsure_[ix(K)] = 0;
  rows_.assign(K, row);
  tree_.set_known(K, row, kept);
}

// The column's minimum is not known, only a bound at or below its values.
inline void ColumnMinima::set_unsure(std::int32_t K, double bound) {
  rows_.assign(K, 0);
  min_[ix(K)] = bound;
  unsure_[ix(K)] = 1;
  tree_.set_bound(K, bound);
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

// Every pair (i,K) with i < K <= n and every G(k), k <= n, lies inside the
// segments once these hold; the loops below rely on it.
void ColumnMinima::build(std::span<const double> PII, std::span<const std::int32_t> G) {
  require_length(G, n_, "group sizes shorter than the matrix");
  require_length(PII, records::packed_size(n_), "proximity segment shorter than the matrix");
  size_terms_.start(G);
  active_.clear();
  starts_.clear();
  sizes_at_.clear();
  for (std::int32_t k = 1; k <= n_; ++k) {
    if (G[ix(k - 1)] != 0) {
      place_[ix(k)] = static_cast<std::int32_t>(active_.size());
      sizes_at_.push_back(G[ix(k - 1)]);
      active_.push_back(k);
      starts_.push_back(start_[ix(k)]);
    }
  }
  rows_.clear();
  std::fill(unsure_.begin(), unsure_.end(), 0);
  for (std::int32_t K = 0; K <= n_; ++K) set_column(K, 0, kEmpty);
  if (active_.size() == ix(n_)) {
    // Every row active, as at the start of a year: the column's values are
    // taken side by side, without the list.
    for (std::int32_t K = 2; K <= n_; ++K) {
      const ColumnMinimum found = dense_minimum(PII.data() + start_[ix(K)], K - 1);
      set_column(K, found.row, found.min);
    }
  } else {
    for (const std::int32_t K : active_) rescan(PII.data(), K);
  }
  tree_.build();
}

// The column's pairs lie side by side in the packed matrix; the active rows
// below K are the first place(K) entries of the list.
void ColumnMinima::rescan(const double* pii, std::int32_t K) {
  const ColumnMinimum found = listed_minimum(pii + start_[ix(K)], active_.data(), place(K));
  set_column(K, found.row, found.min);
}

bool ColumnMinima::closest(std::int32_t& I, std::int32_t& J, double& DMIN) const {
  const WinnerTree::Top top = tree_.top();
  if (top.bound) throw std::logic_error("column minimum not settled");
  if (top.row == 0) return false;
  I = top.row;
  J = top.column;
  DMIN = min_[ix(J)];
  return true;
}

void ColumnMinima::update(std::span<double> PII, std::span<const std::int32_t> G,
                          std::int32_t I, std::int32_t J, double BETA, std::int32_t ISTRAT) {
  if (I < 1 || I >= J || J > n_) throw std::out_of_range("fusion outside the matrix");
  require_length(G, n_, "group sizes shorter than the matrix");
  require_length(std::span<const double>(PII), records::packed_size(n_),
                 "proximity segment shorter than the matrix");
  const double gi = G[ix(I - 1)];
  const double gj = G[ix(J - 1)];
  const double dij = PII[ix(records::packed_index(I, J))];
  if (!depends_on_k(ISTRAT)) {
    sweep(PII.data(), I, J, FixedTerms(terms(coefficients(ISTRAT, BETA, gi, gj, 1.0), dij)));
    return;
  }
  const double* const table = size_terms_.make(ISTRAT, BETA, I, J, gi, gj, dij);
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
    const double v = lance_williams(source.one(p), column_i[K - 1], column_j[K - 1]);
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
    for (std::int32_t K = rows_.first(row); K != 0; K = rows_.next(K)) {
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
  const bool ahead = records::packed_size(n_) * static_cast<std::int64_t>(sizeof(double)) > kNearBytes;
  const std::size_t ahead_to_j = ahead ? pos_j : 0;
  const std::size_t ahead_to_end = ahead ? end : 0;
  for (p = pos_i + 1; p + 2 <= pos_j; p += 2) {
    const std::int32_t K1 = ks[p];
    const std::int32_t K2 = ks[p + 1];
    if (p + kAhead + 2 <= ahead_to_j) {
      prefetch(pii + starts[p + kAhead] + (I - 1));
      prefetch(pii + starts[p + kAhead + 1] + (I - 1));
    }
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
    ik = lance_williams(source.one(p), ik, column_j[K - 1]);
    note_one(ik, K);
  }
  for (p = pos_j + 1; p + 2 <= end; p += 2) {
    const std::int32_t K1 = ks[p];
    const std::int32_t K2 = ks[p + 1];
    if (p + kAhead + 2 <= ahead_to_end) {
      for (const std::size_t q : {p + kAhead, p + kAhead + 1}) {
        prefetch(pii + starts[q] + (I - 1));
        prefetch(pii + starts[q] + (J - 1));
      }
    }
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
    column_k[I - 1] = lance_williams(source.one(p), column_k[I - 1], column_k[J - 1]);
    note_one(column_k[I - 1], K);
  }
  // A noted column's minimum is held by another row: it gives way to v when
  // v is smaller, or equal with I the larger row. A column with only a bound
  // takes v when v is below the bound, and keeps the bound when v equals it.
  for (std::size_t t = 0; t < count; ++t) {
    const std::int32_t K = noted[t];
    const double v = pii[start_[ix(K)] + I - 1];
    const double min = min_[ix(K)];
    if (unsure_[ix(K)] != 0 ? v < min : v <= kCeiling && (v < min || rows_.row(K) < I)) {
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
  size_terms_.fuse(I, J);
  sizes_at_[place(I)] = size_terms_.size(I);
  for (const std::int32_t K : changed_) tree_.replay(K);
  // A column with only a bound on top is scanned, until a known minimum is.
  for (WinnerTree::Top top = tree_.top(); top.bound; top = tree_.top()) {
    rescan(PII.data(), top.column);
    tree_.replay(top.column);
  }
}

}  // namespace metclust::cluster
