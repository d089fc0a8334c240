// Where the agglomeration loop hands each fusion, in fusion order: the
// labels of the two groups joined, the new group's label and the fusion
// level D(ij).
#pragma once

#include <cstdint>

namespace metclust::cluster {

struct FusionSink {
  virtual void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
                      double dmin) = 0;
  virtual ~FusionSink() = default;
};

}  // namespace metclust::cluster
