// A FusionSink that keeps every fusion it is handed.
#pragma once

#include <cstdint>
#include <vector>

#include "cluster/fusion_sink.hpp"

namespace metclust::cluster::test_support {

struct Fusion {
  std::int32_t label_i;
  std::int32_t label_j;
  std::int32_t label_new;
  double dmin;
};

struct FusionCapture : FusionSink {
  std::vector<Fusion> fusions;
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
              double dmin) override {
    fusions.push_back({label_i, label_j, label_new, dmin});
  }
};

}  // namespace metclust::cluster::test_support
