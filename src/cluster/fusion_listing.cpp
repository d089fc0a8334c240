#include "cluster/fusion_listing.hpp"

#include "records/channel_table.hpp"
#include "records/layout.hpp"

namespace metclust::cluster {

void FusionListing::fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
                           double dmin) {
  static const records::Layout kFusion("(3X,I4,1X,\"+\",I4,1X,\"=\",I4,1X,E16.8)");
  out_.write(records::kScl, kFusion, {label_i, label_j, label_new, dmin});
  out_.write(records::kCls, kFusion, {label_i, label_j, label_new, dmin});
}

}  // namespace metclust::cluster
