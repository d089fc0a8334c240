#include "cluster/size_coefficients.hpp"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

#include "cluster/lance_williams_formula.hpp"
#include "cluster/segment.hpp"
#include "cluster/strategy_coefficients.hpp"

namespace metclust::cluster {
namespace {

std::size_t ix(std::int64_t k) { return static_cast<std::size_t>(k); }

}  // namespace

SizeCoefficients::SizeCoefficients(std::int32_t n) : n_(n < 0 ? 0 : n) {
  size_.assign(ix(n_) + 1, 0);
  groups_of_size_.assign(ix(n_) + 1, 0);
  sizes_.reserve(ix(n_));
  size_place_.assign(ix(n_) + 1, 0);
  by_size_.assign(4 * (ix(n_) + 1), 0.0);
}

void SizeCoefficients::start(std::span<const std::int32_t> G) {
  require_length(G, n_, "group sizes shorter than the matrix");
  sizes_.clear();
  std::fill(groups_of_size_.begin(), groups_of_size_.end(), 0);
  for (std::int32_t k = 1; k <= n_; ++k) {
    size_[ix(k)] = G[ix(k - 1)];
    if (G[ix(k - 1)] != 0) count(G[ix(k - 1)], 1);
  }
}

const double* SizeCoefficients::make(std::int32_t istrat, double beta, std::int32_t I,
                                     std::int32_t J, double gi, double gj, double dij) {
  if (I < 1 || J < 1 || I > n_ || J > n_) throw std::out_of_range("fusion outside the matrix");
  if (gi != size_[ix(I)] || gj != size_[ix(J)]) throw std::logic_error("group sizes out of step");
  double* const table = by_size_.data();
  for (const std::int32_t size : sizes_) {
    const Terms<double> t = terms(coefficients(istrat, beta, gi, gj, size), dij);
    double* const row = table + 4 * ix(size);
    row[0] = t.ai;
    row[1] = t.aj;
    row[2] = t.bd;
    row[3] = t.g;
  }
  return table;
}

void SizeCoefficients::fuse(std::int32_t I, std::int32_t J) {
  if (I < 1 || J < 1 || I > n_ || J > n_) throw std::out_of_range("fusion outside the matrix");
  count(size_[ix(I)], -1);
  count(size_[ix(J)], -1);
  size_[ix(I)] += size_[ix(J)];
  size_[ix(J)] = 0;
  count(size_[ix(I)], 1);
}

// One group more (change 1) or less (change -1) of the given size, which
// lies in 1..n: group sizes add up to the number of locations.
void SizeCoefficients::count(std::int32_t size, std::int32_t change) {
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

}  // namespace metclust::cluster
