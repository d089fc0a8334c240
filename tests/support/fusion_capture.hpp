// A FusionSink that keeps every fusion it is handed, as the fusion record
// holds it.
#pragma once

#include <cstdint>
#include <vector>

#include "cluster/fusion_sink.hpp"
#include "formats/scl.hpp"

namespace metclust::testing {

using Fusion = formats::FusionRecord;

struct FusionCapture : cluster::FusionSink {
  std::vector<Fusion> fusions;
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
              double dmin) override {
    fusions.push_back({label_i, label_j, label_new, dmin});
  }
};

}  // namespace metclust::testing
