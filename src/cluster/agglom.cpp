#include "cluster/agglom.hpp"

#include <cstddef>
#include <limits>
#include <optional>
#include <stdexcept>

#include "cluster/column_minima.hpp"
#include "cluster/lance_williams.hpp"
#include "cluster/segment.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {

bool FNDMIN(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t& I,
            std::int32_t& J, double& DMIN, std::int32_t N) {
  require_length(G, N, "group sizes shorter than the matrix");
  require_length(PII, records::packed_size(N), "proximity segment shorter than the matrix");
  double best = kCeiling;
  std::int32_t best_i = 0;
  std::int32_t best_j = 0;
  for (std::int32_t i = 1; i < N; ++i) {
    for (std::int32_t j = i + 1; j <= N; ++j) {
      if (G[static_cast<std::size_t>(i - 1)] == 0 || G[static_cast<std::size_t>(j - 1)] == 0) {
        continue;
      }
      const double d = PII[static_cast<std::size_t>(records::packed_index(i, j))];
      if (d <= best) {
        best = d;
        best_i = i;
        best_j = j;
      }
    }
  }
  if (best_i == 0) return false;
  I = best_i;
  J = best_j;
  DMIN = best;
  return true;
}

bool AGGLOM(std::span<double> PII, std::span<std::int32_t> G, std::span<std::int32_t> LABEL,
            std::span<std::int32_t> HIST, std::int32_t NL, double BETA, std::int32_t ISTRAT,
            FusionSink& sink, PairSearch search) {
  if (NL <= 1) return true;
  // Labels run up to 2*NL - 1 and must stay 4-byte integers.
  if (NL > std::numeric_limits<std::int32_t>::max() / 2) {
    throw std::length_error("too many locations for 4-byte group labels");
  }
  require_length(G, NL, "group sizes shorter than the year's locations");
  require_length(LABEL, NL, "labels shorter than the year's locations");
  require_length(HIST, 2 * (static_cast<std::int64_t>(NL) - 1), "history shorter than the fusions");
  require_length(std::span<const double>(PII), records::packed_size(NL),
                 "proximity segment shorter than the matrix");

  for (std::int32_t k = 1; k <= NL; ++k) {
    at1(LABEL, k) = k;
    at1(G, k) = 1;
  }

  std::optional<ColumnMinima> minima;
  if (search == PairSearch::Fast) {
    minima.emplace(NL);
    minima->build(PII, G);
  }

  for (std::int32_t s = 1; s <= NL - 1; ++s) {
    std::int32_t I = 0;
    std::int32_t J = 0;
    double DMIN = 0.0;
    const bool found = minima ? minima->closest(I, J, DMIN) : FNDMIN(PII, G, I, J, DMIN, NL);
    if (!found) return false;

    const std::int64_t h = 2 * (static_cast<std::int64_t>(s) - 1);
    at1(HIST, h + 1) = at1(LABEL, I);
    at1(HIST, h + 2) = at1(LABEL, J);
    sink.fusion(at1(LABEL, I), at1(LABEL, J), NL + s, DMIN);

    // The fast search makes the update itself, the values of LWUPD over the
    // active groups, and settles its column minima on the way.
    if (minima) {
      minima->update(PII, G, I, J, BETA, ISTRAT);
    } else {
      LWUPD(PII, G, I, J, NL, BETA, ISTRAT);
    }
    at1(G, I) += at1(G, J);
    at1(G, J) = 0;
    at1(LABEL, I) = NL + s;
    if (minima) minima->repair(PII, I, J);
  }
  return true;
}

}  // namespace metclust::cluster
