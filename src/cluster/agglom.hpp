// The agglomeration loop: NL - 1 fusions of the two closest active groups,
// each handed to a FusionSink and recorded in HIST, with the proximities of
// the fused group updated by the Lance-Williams formula.
#pragma once

#include <cstdint>
#include <span>

#include "cluster/fusion_sink.hpp"
#include "cluster/search_ceiling.hpp"

namespace metclust::cluster {

// The closest active pair among indices 1..N by a full scan, i ascending and
// for each i, j = i+1..N ascending: a pair is taken when its proximity is at
// most the best so far (starting from kCeiling), so ties go to the pair met
// last. Returns false, and sets nothing, when no pair was taken.
bool FNDMIN(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t& I,
            std::int32_t& J, double& DMIN, std::int32_t N);

enum class PairSearch {
  Fast,   // per-column minima repaired after each fusion; same pairs as Plain
  Plain,  // FNDMIN at every fusion
};

// Sets up G and LABEL, then makes NL - 1 fusions (none for NL <= 1). HIST
// receives, pair by pair, the labels of the groups at the smaller and the
// larger index of each fusion. Each fusion is handed to the sink before PII
// and G are updated for it, so a sink that holds them sees the matrix the
// pair was chosen from (TieWatch relies on it). Returns false when at some fusion no active
// pair has a proximity at or below kCeiling: that fusion is not made, and
// the fusions before it stay made and handed to the sink.
bool AGGLOM(std::span<double> PII, std::span<std::int32_t> G, std::span<std::int32_t> LABEL,
            std::span<std::int32_t> HIST, std::int32_t NL, double BETA, std::int32_t ISTRAT,
            FusionSink& sink, PairSearch search = PairSearch::Fast);

}  // namespace metclust::cluster
