// What the work arrays of a build hold, and so which run headers (MAXL) a
// build accepts. The arrays are sized when the program is built (cmake
// -DMETCLUST_MAX_LOCATIONS=L); every program that judges a job against them
// is compiled with the same number, so metclust, its importer and its
// checker agree on the locations a build holds.
#pragma once

#include <algorithm>
#include <cstdint>

#include "formats/scl.hpp"

#ifndef METCLUST_MAX_LOCATIONS
#error "METCLUST_MAX_LOCATIONS is set by CMakeLists.txt"
#endif

namespace metclust::formats {

// What a run header with MAXL = L needs of each array: DZ holds the packed
// matrix (NTM + 1), Z the dendrogram coordinates (2L - 1 + 2L), MZ the seven
// integer segments (L + 2L - 1 + L + L + 2L - 2 + L + 1) and AZ the location
// and node names (L + 2L). Every count is formed in 8 bytes, so no MAXL can
// overflow it.
constexpr ArrayCounts needed_counts(std::int64_t L) {
  return {elements_in_triangle(L) + 1, 4 * L - 1, 8 * L - 2, 3 * L};
}

inline constexpr std::int64_t kMaxLocations = METCLUST_MAX_LOCATIONS;
// The most that any build holds: DZ then takes about 1 GiB of static storage.
inline constexpr std::int64_t kLargestBuildLocations = 16000;
static_assert(kMaxLocations >= 1 && kMaxLocations <= kLargestBuildLocations);

// Each capacity is the program's own (85000, 2000, 50000, 2000, which hold 411
// locations), or what kMaxLocations needs when that is more.
inline constexpr std::int64_t kCapacityDZ = std::max<std::int64_t>(85000, needed_counts(kMaxLocations).DZ);
inline constexpr std::int64_t kCapacityZ = std::max<std::int64_t>(2000, needed_counts(kMaxLocations).Z);
inline constexpr std::int64_t kCapacityMZ = std::max<std::int64_t>(50000, needed_counts(kMaxLocations).MZ);
inline constexpr std::int64_t kCapacityAZ = std::max<std::int64_t>(2000, needed_counts(kMaxLocations).AZ);

constexpr bool fits_work_space(std::int64_t L) {
  const ArrayCounts need = needed_counts(L);
  return need.DZ <= kCapacityDZ && need.Z <= kCapacityZ && need.MZ <= kCapacityMZ &&
         need.AZ <= kCapacityAZ;
}

// The largest MAXL whose run the work arrays hold: every need grows with L,
// so the arrays hold every MAXL from 1 up to it.
constexpr std::int64_t largest_held_maxl() {
  std::int64_t held = 0;
  std::int64_t beyond = kCapacityDZ + 1;  // DZ alone rules this one out
  while (beyond - held > 1) {
    const std::int64_t middle = held + (beyond - held) / 2;
    (fits_work_space(middle) ? held : beyond) = middle;
  }
  return held;
}

inline constexpr std::int64_t kLocationsHeld = largest_held_maxl();
static_assert(kLocationsHeld >= kMaxLocations);

}  // namespace metclust::formats
