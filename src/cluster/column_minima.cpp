#include "cluster/column_minima.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
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

}  // namespace

ColumnMinima::ColumnMinima(std::int32_t n)
    : n_(n < 0 ? 0 : n), leaves_(leaves_for(n_)), tree_(2 * ix(leaves_), Node{kEmpty, 0}) {
  active_.reserve(ix(n_));
  pending_.reserve(ix(n_));
  changed_.reserve(ix(n_) + 2);
  noted_.resize(ix(n_) + 1);
  by_size_.resize(ix(n_) + 1, SizeCoefficients{0, {}});
}

// The smaller minimum wins; of equal minima (minus zero equals zero) the
// larger row, then the larger column, as the full scan ends on the pair it
// meets last.
inline ColumnMinima::Node ColumnMinima::winner(const Node& a, const Node& b) {
  const bool a_wins = (a.min < b.min) | ((a.min == b.min) & (a.key > b.key));
  return a_wins ? a : b;
}

inline void ColumnMinima::set_column(std::int32_t K, std::int32_t row, double min) {
  leaf(K) = Node{row == 0 ? kEmpty : min, (static_cast<std::int64_t>(row) << 32) | K};
}

// Plays column K's leaf up towards the root against the sibling at each
// level. The order is total (no two columns share a key), so the side does
// not matter. Once a node comes out as it was, the nodes above it stay as
// they are: they depend on K's leaf only through it.
void ColumnMinima::replay(std::int32_t K) {
  std::int32_t node = leaves_ + K;
  Node w = tree_[ix(node)];
  while (node > 1) {
    w = winner(w, tree_[ix(node ^ 1)]);
    node /= 2;
    Node& parent = tree_[ix(node)];
    if (parent.key == w.key && std::bit_cast<std::uint64_t>(parent.min) ==
                                   std::bit_cast<std::uint64_t>(w.min)) {
      return;
    }
    parent = w;
  }
}

// Every pair (i,K) with i < K <= n and every G(k), k <= n, lies inside the
// segments once these hold; the loops below rely on it.
void ColumnMinima::build(std::span<const double> PII, std::span<const std::int32_t> G) {
  require_length(G, n_, "group sizes shorter than the matrix");
  require_length(PII, packed_size(n_), "proximity segment shorter than the matrix");
  active_.clear();
  for (std::int32_t k = 1; k <= n_; ++k) {
    if (G[ix(k - 1)] != 0) active_.push_back(k);
  }
  for (std::int32_t K = 0; K < leaves_; ++K) set_column(K, 0, kEmpty);
  if (active_.size() == ix(n_)) {
    // Every row active, as at the start of a year: the scan needs no list.
    for (std::int32_t K = 2; K <= n_; ++K) {
      const double* column = PII.data() + packed_index(1, K);
      double best = kCeiling;
      std::int32_t row = 0;
      for (std::int32_t i = 1; i < K; ++i) {
        if (column[i - 1] <= best) {
          best = column[i - 1];
          row = i;
        }
      }
      set_column(K, row, best);
    }
  } else {
    for (const std::int32_t K : active_) rescan(PII, K);
  }
  for (std::int32_t node = leaves_ - 1; node >= 1; --node) {
    tree_[ix(node)] = winner(tree_[ix(2 * node)], tree_[ix(2 * node + 1)]);
  }
}

// The column's pairs lie side by side in the packed matrix. The scan runs
// over the active rows i < K ascending with the <= rule from the ceiling, as
// FNDMIN does, so it ends on the largest row holding the smallest value.
void ColumnMinima::rescan(std::span<const double> PII, std::int32_t K) {
  const double* column = PII.data() + packed_index(1, K);
  double best = kCeiling;
  std::int32_t row = 0;
  for (const std::int32_t i : active_) {
    if (i >= K) break;
    const double d = column[i - 1];
    if (d <= best) {
      best = d;
      row = i;
    }
  }
  set_column(K, row, best);
}

bool ColumnMinima::closest(std::int32_t& I, std::int32_t& J, double& DMIN) const {
  const Node& root = tree_[1];
  const auto row = static_cast<std::int32_t>(root.key >> 32);
  if (row == 0) return false;
  I = row;
  J = static_cast<std::int32_t>(root.key & 0xffffffff);
  DMIN = root.min;
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
  if (depends_on_k(ISTRAT)) {
    // The coefficients depend on K only through its size, and a sweep meets
    // few sizes: each is worked out once per sweep and kept.
    const std::int64_t sweep_number = ++sweeps_;
    const std::int32_t* const sizes = G.data();
    SizeCoefficients* const by_size = by_size_.data();
    const auto n = static_cast<std::uint32_t>(n_);
    sweep(PII, I, J, dij, [=](std::int32_t K) {
      const std::int32_t gk = sizes[K - 1];
      if (static_cast<std::uint32_t>(gk) - 1u >= n) return coefficients(ISTRAT, BETA, gi, gj, gk);
      SizeCoefficients& kept = by_size[gk];
      if (kept.made_in != sweep_number) {
        kept.c = coefficients(ISTRAT, BETA, gi, gj, gk);
        kept.made_in = sweep_number;
      }
      return kept.c;
    });
  } else {
    const Coefficients c = coefficients(ISTRAT, BETA, gi, gj, 1.0);
    sweep(PII, I, J, dij, [&](std::int32_t) { return c; });
  }
}

// The active indices fall into three runs: K < I, where (K,I) and (K,J) lie
// in columns I and J; I < K < J, where (I,K) lies in column K; and K > J,
// where (I,K) and (J,K) both lie in column K.
template <class CoefficientsFor>
void ColumnMinima::sweep(std::span<double> PII, std::int32_t I, std::int32_t J, double dij,
                         CoefficientsFor coefficients_for) {
  const auto at_i = std::lower_bound(active_.begin(), active_.end(), I);
  const auto at_j = std::lower_bound(at_i, active_.end(), J);
  if (at_i == active_.end() || *at_i != I || at_j == active_.end() || *at_j != J) {
    throw std::out_of_range("fused group is not active");
  }
  double* const pii = PII.data();
  double* const column_i = pii + packed_index(1, I);
  const double* const column_j = pii + packed_index(1, J);
  pending_.clear();
  changed_.clear();

  // Column I is rewritten whole by the rows K < I, which come in ascending
  // order: its minimum is found as the values are made.
  double best_i = kCeiling;
  std::int32_t row_i = 0;
  for (auto it = active_.begin(); it != at_i; ++it) {
    const std::int32_t K = *it;
    double& ik = column_i[K - 1];
    const double v = lance_williams(coefficients_for(K), ik, column_j[K - 1], dij);
    ik = v;
    if (v <= best_i) {
      best_i = v;
      row_i = K;
    }
  }
  set_column(I, row_i, best_i);
  changed_.push_back(I);

  // The columns K > I. Most keep their minimum and another row; the sweep
  // only notes, without branching, the columns that may not (the new value
  // at most the minimum, or the minimum held by I or J), so that the loads
  // of the scattered pairs overlap, and settles those afterwards.
  std::int32_t* const noted = noted_.data();
  const Node* const leaf0 = tree_.data() + leaves_;
  std::size_t count = 0;
  auto note = [&](std::int32_t K, double v) {
    const Node& node = leaf0[K];
    const auto row = static_cast<std::int32_t>(node.key >> 32);
    noted[count] = K;
    count += static_cast<std::size_t>((v <= node.min) | (row == I) | (row == J));
  };
  for (auto it = at_i + 1; it != at_j; ++it) {
    const std::int32_t K = *it;
    double& ik = pii[packed_index(I, K)];
    ik = lance_williams(coefficients_for(K), ik, column_j[K - 1], dij);
    note(K, ik);
  }
  for (auto it = at_j + 1; it != active_.end(); ++it) {
    const std::int32_t K = *it;
    double* const column_k = pii + packed_index(1, K);
    double& ik = column_k[I - 1];
    ik = lance_williams(coefficients_for(K), ik, column_k[J - 1], dij);
    note(K, ik);
  }
  for (std::size_t t = 0; t < count; ++t) {
    const std::int32_t K = noted[t];
    settle(K, pii[packed_index(I, K)], I, J);
  }
  set_column(J, 0, kEmpty);
  changed_.push_back(J);
}

// Column K > I after the fusion of I and J: its pair (I,K) has the new value
// v, its pair (J,K) goes when K > J, its other pairs stay. A minimum held by
// row J is gone and the column is scanned again; a minimum held by row I
// stays with I when v is no larger, else the column is scanned again; a
// minimum held by another row gives way to v when v is smaller, or equal
// with I the larger row.
inline void ColumnMinima::settle(std::int32_t K, double v, std::int32_t I, std::int32_t J) {
  const std::int32_t row = row_of(K);
  const double min = leaf(K).min;
  const bool can_take = v <= kCeiling;
  if (row == J) {
    pending_.push_back(K);
  } else if (row == I) {
    if (can_take && v <= min) {
      set_column(K, I, v);
      changed_.push_back(K);
    } else {
      pending_.push_back(K);
    }
  } else if (can_take && (v < min || (v == min && I > row))) {
    set_column(K, I, v);
    changed_.push_back(K);
  }
}

void ColumnMinima::repair(std::span<const double> PII, std::int32_t J) {
  const auto at = std::lower_bound(active_.begin(), active_.end(), J);
  if (at == active_.end() || *at != J) throw std::out_of_range("fused group is not active");
  active_.erase(at);
  for (const std::int32_t K : pending_) {
    rescan(PII, K);
    replay(K);
  }
  for (const std::int32_t K : changed_) replay(K);
}

}  // namespace metclust::cluster
