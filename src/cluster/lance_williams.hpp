// The Lance-Williams update: the proximity of a freshly fused group I+J to
// every other active group K, from the proximities before the fusion, with
// the coefficients of the chosen strategy.
#pragma once

#include <cstdint>
#include <span>

namespace metclust::cluster {

// Proximity of the fused group I+J to group K (1-based indices; I, J, K
// distinct). Reads PII and the group sizes G; changes nothing. A strategy
// number outside 1..8 works as strategy 1.
double LWDIST(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t I,
              std::int32_t J, std::int32_t K, double BETA, std::int32_t ISTRAT);

// For K = 1..N ascending, every active K other than I and J: PII(I,K) =
// LWDIST(I, J, K). The pairs (J,K) and (I,J) keep their values. Called
// before G(I) and G(J) change.
void LWUPD(std::span<double> PII, std::span<const std::int32_t> G, std::int32_t I,
           std::int32_t J, std::int32_t N, double BETA, std::int32_t ISTRAT);

}  // namespace metclust::cluster
