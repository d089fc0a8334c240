// The coefficients of the eight clustering strategies, which go into the
// Lance-Williams formula (lance_williams_formula.hpp).
#pragma once

#include <cstdint>

namespace metclust::cluster {

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

// The strategy number picks the coefficients; a number outside 1..8 works
// as strategy 1.
inline Coefficients coefficients(std::int32_t istrat, double beta, double gi, double gj,
                                 double gk) {
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

// Only strategy 8 weighs by the size of K; the others' coefficients hold for
// a whole sweep.
inline bool depends_on_k(std::int32_t istrat) { return istrat == 8; }

}  // namespace metclust::cluster
