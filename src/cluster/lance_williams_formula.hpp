// The Lance-Williams formula, written once and used by LWDIST, LWUPD and the
// fast pair search, one K at a time or two side by side, so that all of them
// give the same value bit for bit:
//
//   D(I+J,K) = ((aj * D(J,K) + ai * D(I,K)) + b * D(I,J)) + g * |D(I,K) - D(J,K)|
//
// in this grouping, with no fused multiply-add (the build forbids
// contraction).
#pragma once

#include "cluster/strategy_coefficients.hpp"
#include "cluster/two_lane.hpp"

namespace metclust::cluster {

// The coefficients of one K (Real double) or of two K side by side (Real
// TwoReals), with the term b * D(I,J) already formed as bd: the product is
// the same for every K of a fusion, so forming it once changes no bit.
template <class Real>
struct Terms {
  Real ai, aj, bd, g;
};

inline Terms<double> terms(const Coefficients& c, double dij) {
  return {c.ai, c.aj, c.b * dij, c.g};
}

template <class Real>
Real lance_williams(const Terms<Real>& t, Real dik, Real djk) {
  return ((t.aj * djk + t.ai * dik) + t.bd) + t.g * magnitude(dik - djk);
}

}  // namespace metclust::cluster
