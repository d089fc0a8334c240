// Where the fast search's fusion sweep takes the terms of the formula for
// the K at place p of the active list, one K at a time or two side by side:
// the same for the whole sweep, or looked up by the size of K's group.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cluster/lance_williams_formula.hpp"
#include "cluster/two_lane.hpp"

namespace metclust::cluster {

// For the strategies that do not weigh by K's size.
struct FixedTerms {
  Terms<double> t;
  Terms<TwoReals> both;

  explicit FixedTerms(const Terms<double>& one)
      : t(one), both{splat(one.ai), splat(one.aj), splat(one.bd), splat(one.g)} {}
  Terms<double> one(std::size_t) const { return t; }
  Terms<TwoReals> two(std::size_t) const { return both; }
};

// For the strategy that weighs by K's size: the table of
// SizeCoefficients::make(), by the group size at each place.
struct SizeTerms {
  const std::int32_t* sizes;  // by place in the active list
  const double* table;        // ai, aj, bd, g at 4 * size

  Terms<double> one(std::size_t p) const {
    const double* const c = table + 4 * static_cast<std::size_t>(sizes[p]);
    return {c[0], c[1], c[2], c[3]};
  }
  Terms<TwoReals> two(std::size_t p) const {
    const double* const c1 = table + 4 * static_cast<std::size_t>(sizes[p]);
    const double* const c2 = table + 4 * static_cast<std::size_t>(sizes[p + 1]);
    const TwoReals a1 = load_two(c1);
    const TwoReals a2 = load_two(c2);
    const TwoReals b1 = load_two(c1 + 2);
    const TwoReals b2 = load_two(c2 + 2);
    return {TwoReals{a1[0], a2[0]}, TwoReals{a1[1], a2[1]}, TwoReals{b1[0], b2[0]},
            TwoReals{b1[1], b2[1]}};
  }
};

}  // namespace metclust::cluster
