// The fusion listing: one record per fusion, written to .SCL and then the
// same record to .CLS.
#pragma once

#include "cluster/fusion_sink.hpp"
#include "records/record_writer.hpp"

namespace metclust::cluster {

class FusionListing : public FusionSink {
 public:
  explicit FusionListing(records::RecordWriter& out) : out_(out) {}
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
              double dmin) override;

 private:
  records::RecordWriter& out_;
};

}  // namespace metclust::cluster
