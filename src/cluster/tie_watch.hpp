// Which fusions were chosen among equal minima. The pair search takes, of
// the active pairs at the smallest proximity, the one it meets last in its
// scan (i ascending, then j ascending); another program (R's hclust,
// fastcluster, scipy) takes another one of them, and its tree can differ
// from that fusion on. A TieWatch, handed to AGGLOM as its sink, looks at
// the matrix as the search saw it and records for every fusion whether
// another active pair stood at the same proximity; it passes each fusion on
// to the next sink unchanged. The clustering itself is the same, with or
// without it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cluster/fusion_sink.hpp"

namespace metclust::cluster {

class TieWatch : public FusionSink {
 public:
  // PII and G are the segments AGGLOM is given, for NL locations. AGGLOM
  // hands every fusion to its sink before it updates them.
  TieWatch(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t NL,
           FusionSink& next);

  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
              double dmin) override;

  // By fusion, in fusion order: true when two or more active pairs stood at
  // the fusion's proximity (equal as the search compares them: -0 equals 0).
  const std::vector<bool>& ties() const { return ties_; }

 private:
  std::span<const double> PII_;
  std::span<const std::int32_t> G_;
  std::int32_t NL_;
  FusionSink& next_;
  std::vector<bool> ties_;
};

}  // namespace metclust::cluster
