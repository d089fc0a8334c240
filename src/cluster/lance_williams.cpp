#include "cluster/lance_williams.hpp"

#include <cmath>

#include "cluster/packed.hpp"
#include "cluster/segment.hpp"

namespace metclust::cluster {
namespace {

// ai weights D(I,K), aj weights D(J,K), b weights D(I,J), g weights
// |D(I,K) - D(J,K)|.
struct Coefficients {
  double ai, aj, b, g;
};

// One function per strategy, each term written as the strategy table has it.
// gi, gj, gk: the three group sizes before the fusion; gij = gi + gj;
// t = gij + gk.
inline Coefficients nearest_neighbour() { return {0.5, 0.5, 0.0, -0.5}; }
inline Coefficients furthest_neighbour() { return {0.5, 0.5, 0.0, 0.5}; }
inline Coefficients group_average(double gi, double gj, double gij) {
  return {gi / gij, gj / gij, 0.0, 0.0};
}
inline Coefficients median() { return {0.5, 0.5, -0.25, 0.0}; }
inline Coefficients centroid(double gi, double gj, double gij) {
  const double ai = gi / gij;
  const double aj = gj / gij;
  return {ai, aj, -(ai * aj), 0.0};
}
inline Coefficients flexible_wpgma(double beta) {
  return {(1.0 - beta) * 0.5, (1.0 - beta) * 0.5, beta, 0.0};
}
inline Coefficients flexible_upgma(double beta, double gi, double gj, double gij) {
  return {((1.0 - beta) * gi) / gij, ((1.0 - beta) * gj) / gij, beta, 0.0};
}
inline Coefficients sum_of_squares(double gi, double gj, double gk, double t) {
  return {(gi + gk) / t, (gj + gk) / t, -(gk / t), 0.0};
}

Coefficients coefficients(std::int32_t istrat, double beta, double gi, double gj, double gk) {
  const double gij = gi + gj;
  const double t = gij + gk;
  switch (istrat) {
    case 2: return furthest_neighbour();
    case 3: return group_average(gi, gj, gij);
    case 4: return median();
    case 5: return centroid(gi, gj, gij);
    case 6: return flexible_wpgma(beta);
    case 7: return flexible_upgma(beta, gi, gj, gij);
    case 8: return sum_of_squares(gi, gj, gk, t);
    default: return nearest_neighbour();
  }
}

}  // namespace

double LWDIST(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t I,
              std::int32_t J, std::int32_t K, double BETA, std::int32_t ISTRAT) {
  const double gi = at1(G, I);
  const double gj = at1(G, J);
  const double gk = at1(G, K);
  const double dik = pair_at(PII, I, K);
  const double djk = pair_at(PII, J, K);
  const double dij = pair_at(PII, I, J);
  const double a = std::fabs(dik - djk);
  const Coefficients c = coefficients(ISTRAT, BETA, gi, gj, gk);
  return ((c.aj * djk + c.ai * dik) + c.b * dij) + c.g * a;
}

void LWUPD(std::span<double> PII, std::span<const std::int32_t> G, std::int32_t I,
           std::int32_t J, std::int32_t N, double BETA, std::int32_t ISTRAT) {
  const std::span<const double> before(PII);
  for (std::int32_t K = 1; K <= N; ++K) {
    if (at1(G, K) == 0 || K == I || K == J) continue;
    // Only (I,K) is overwritten, and only the value for this same K reads it.
    pair_at(PII, I, K) = LWDIST(before, G, I, J, K, BETA, ISTRAT);
  }
}

}  // namespace metclust::cluster
