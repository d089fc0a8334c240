#include "cluster/lance_williams.hpp"

#include <cstddef>
#include <stdexcept>

#include "cluster/lance_williams_formula.hpp"
#include "cluster/segment.hpp"
#include "cluster/strategy_coefficients.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {

double LWDIST(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t I,
              std::int32_t J, std::int32_t K, double BETA, std::int32_t ISTRAT) {
  const double gi = at1(G, I);
  const double gj = at1(G, J);
  const double gk = at1(G, K);
  const double dik = records::pair_at(PII, I, K);
  const double djk = records::pair_at(PII, J, K);
  const double dij = records::pair_at(PII, I, J);
  return lance_williams(terms(coefficients(ISTRAT, BETA, gi, gj, gk), dij), dik, djk);
}

// Gives for every K the value LWDIST gives, but takes the coefficients out of
// the sweep when they do not depend on K (all strategies but 8), and checks
// I, J and N once: every pair of indices up to N lies inside the segment.
void LWUPD(std::span<double> PII, std::span<const std::int32_t> G, std::int32_t I,
           std::int32_t J, std::int32_t N, double BETA, std::int32_t ISTRAT) {
  if (I < 1 || J < 1 || I == J || I > N || J > N) {
    throw std::out_of_range("fused groups outside the matrix");
  }
  require_length(G, N, "group sizes shorter than the matrix");
  require_length(std::span<const double>(PII), records::packed_size(N),
                 "proximity segment shorter than the matrix");
  const double gi = G[static_cast<std::size_t>(I - 1)];
  const double gj = G[static_cast<std::size_t>(J - 1)];
  const double dij = PII[static_cast<std::size_t>(records::packed_index(I, J))];
  const bool per_k = depends_on_k(ISTRAT);
  Terms<double> t = terms(coefficients(ISTRAT, BETA, gi, gj, 1.0), dij);
  for (std::int32_t K = 1; K <= N; ++K) {
    const std::int32_t size_k = G[static_cast<std::size_t>(K - 1)];
    if (size_k == 0 || K == I || K == J) continue;
    if (per_k) t = terms(coefficients(ISTRAT, BETA, gi, gj, size_k), dij);
    // Only (I,K) is overwritten, and only the value for this same K reads it.
    double& ik = PII[static_cast<std::size_t>(records::packed_index(I, K))];
    const double djk = PII[static_cast<std::size_t>(records::packed_index(J, K))];
    ik = lance_williams(t, ik, djk);
  }
}

}  // namespace metclust::cluster
