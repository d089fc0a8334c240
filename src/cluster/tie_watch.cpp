#include "cluster/tie_watch.hpp"

#include <stdexcept>

#include "records/packed.hpp"

namespace metclust::cluster {

TieWatch::TieWatch(std::span<const double> PII, std::span<const std::int32_t> G, std::int32_t NL,
                   FusionSink& next)
    : PII_(PII), G_(G), NL_(NL), next_(next) {
  if (NL_ < 0 || G_.size() < static_cast<std::size_t>(NL_) ||
      PII_.size() < static_cast<std::size_t>(records::packed_size(NL_))) {
    throw std::invalid_argument("segments shorter than the year's locations");
  }
}

void TieWatch::fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t label_new,
                      double dmin) {
  // The active pairs at dmin, row by row as the matrix is packed; the
  // second one settles it.
  std::int64_t equal = 0;
  for (std::int32_t j = 2; j <= NL_ && equal < 2; ++j) {
    if (G_[static_cast<std::size_t>(j) - 1] == 0) continue;
    const std::span<const double> row =
        PII_.subspan(static_cast<std::size_t>(records::packed_index(1, j)),
                     static_cast<std::size_t>(j) - 1);
    for (std::int32_t i = 1; i < j; ++i) {
      if (row[static_cast<std::size_t>(i) - 1] == dmin && G_[static_cast<std::size_t>(i) - 1] != 0 &&
          ++equal == 2) {
        break;
      }
    }
  }
  ties_.push_back(equal >= 2);
  next_.fusion(label_i, label_j, label_new, dmin);
}

}  // namespace metclust::cluster
