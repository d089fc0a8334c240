#include "cluster/column_minima.hpp"

#include <cstddef>
#include <stdexcept>

#include "cluster/agglom.hpp"
#include "cluster/packed.hpp"
#include "cluster/segment.hpp"

namespace metclust::cluster {
namespace {

// Both segments cover the matrix of n locations, so every pair (i,K) with
// i < K <= n and every G(k), k <= n, lies inside them.
void require_matrix(std::span<const double> pii, std::span<const std::int32_t> g,
                    std::int32_t n) {
  require_length(g, n, "group sizes shorter than the matrix");
  require_length(pii, packed_size(n), "proximity segment shorter than the matrix");
}

}  // namespace

ColumnMinima::ColumnMinima(std::int32_t n)
    : n_(n < 0 ? 0 : n),
      row_(static_cast<std::size_t>(n_) + 1, 0),
      min_(static_cast<std::size_t>(n_) + 1, kCeiling) {}

void ColumnMinima::build(std::span<const double> PII, std::span<const std::int32_t> G) {
  require_matrix(PII, G, n_);
  for (std::int32_t K = 2; K <= n_; ++K) {
    if (G[static_cast<std::size_t>(K - 1)] != 0) {
      rescan(PII, G, K);
    } else {
      row_[static_cast<std::size_t>(K)] = 0;
    }
  }
}

// The column's pairs lie side by side in the packed matrix. The scan runs
// i = 1..K-1 with the <= rule from the ceiling, as FNDMIN does, so it ends on
// the largest row holding the smallest value.
void ColumnMinima::rescan(std::span<const double> PII, std::span<const std::int32_t> G,
                          std::int32_t K) {
  const double* column = PII.data() + packed_index(1, K);
  const std::int32_t* sizes = G.data();
  double best = kCeiling;
  std::int32_t row = 0;
  for (std::int32_t i = 1; i < K; ++i) {
    if (sizes[i - 1] == 0) continue;
    const double d = column[i - 1];
    if (d <= best) {
      best = d;
      row = i;
    }
  }
  row_[static_cast<std::size_t>(K)] = row;
  min_[static_cast<std::size_t>(K)] = best;
}

bool ColumnMinima::closest(std::int32_t& I, std::int32_t& J, double& DMIN) const {
  std::int32_t best_row = 0;
  std::int32_t best_column = 0;
  double best = 0.0;
  for (std::int32_t K = 2; K <= n_; ++K) {
    const std::int32_t row = row_[static_cast<std::size_t>(K)];
    if (row == 0) continue;
    const double d = min_[static_cast<std::size_t>(K)];
    // Columns come in ascending order, so an equal value in an equal row
    // belongs to a later column and wins, as in the full scan.
    if (best_row == 0 || d < best || (d == best && row >= best_row)) {
      best = d;
      best_row = row;
      best_column = K;
    }
  }
  if (best_row == 0) return false;
  I = best_row;
  J = best_column;
  DMIN = best;
  return true;
}

void ColumnMinima::fused(std::span<const double> PII, std::span<const std::int32_t> G,
                         std::int32_t I, std::int32_t J) {
  require_matrix(PII, G, n_);
  if (I < 1 || I >= J || J > n_) throw std::out_of_range("fusion outside the matrix");

  row_[static_cast<std::size_t>(J)] = 0;
  // The update rewrote every pair (k,I), k < I: the whole column I.
  rescan(PII, G, I);

  // Column K > I lost its pair (J,K) when K > J, and its pair (I,K) has a
  // new value; its other pairs are unchanged. So: a minimum held by row J is
  // gone and the column is scanned again; a minimum held by row I stays with
  // I when the new value is no larger, else the column is scanned again; a
  // minimum held by another row gives way to the new value when that is
  // smaller, or equal with I the larger row.
  for (std::int32_t K = I + 1; K <= n_; ++K) {
    if (K == J || G[static_cast<std::size_t>(K - 1)] == 0) continue;
    const std::size_t k = static_cast<std::size_t>(K);
    const std::int32_t row = row_[k];
    if (row == J) {
      rescan(PII, G, K);
      continue;
    }
    const double v = PII[static_cast<std::size_t>(packed_index(I, K))];
    const bool can_take = v <= kCeiling;
    if (row == I) {
      // Rows above I hold larger values (or none that can be taken), so a
      // value no larger than the old minimum keeps I in front.
      if (can_take && v <= min_[k]) {
        min_[k] = v;
      } else {
        rescan(PII, G, K);
      }
    } else if (can_take && (row == 0 || v < min_[k] || (v == min_[k] && I > row))) {
      row_[k] = I;
      min_[k] = v;
    }
  }
}

}  // namespace metclust::cluster
