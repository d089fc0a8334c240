// A fusion sink of the clustering engine that keeps every fusion it is handed.
#pragma once

#include <cstdint>
#include <vector>

#include "cluster/fusion_sink.hpp"

namespace metclust::testing {

struct Fusion {
  std::int32_t label_i;
  std::int32_t label_j;
  std::int32_t label_new;
  double dmin;
};

struct FusionCapture : cluster::FusionSink {
  std::vector<Fusion> fusions;
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
              double dmin) override {
    fusions.push_back({label_i, label_j, label_new, dmin});
  }
};

}  // namespace metclust::testing
