// The largest number of locations (MAXL) a job may have for this build of
// metclust: the largest MAXL whose needs fit all four work arrays of
// control/work_space.hpp (the .EMA matrix array DZ runs short first, at
// 412). The companion programs that write or check a job take the limit
// from here alone.
#pragma once

#include <cstdint>

namespace metclust::tools {

inline constexpr std::int64_t kMaxLocations = 411;

}  // namespace metclust::tools
