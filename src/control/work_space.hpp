// The four work arrays of a run, with their build-time capacities.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "records/text.hpp"

namespace metclust::control {

inline constexpr std::int64_t kCapacityDZ = 85000;
inline constexpr std::int64_t kCapacityZ = 2000;
inline constexpr std::int64_t kCapacityMZ = 50000;
inline constexpr std::int64_t kCapacityAZ = 2000;

struct WorkArrays {
  std::span<double> DZ;
  std::span<float> Z;
  std::span<std::int32_t> MZ;
  std::span<records::Name> AZ;
};

// The arrays themselves live in static storage for the whole run.
WorkArrays work_arrays();

}  // namespace metclust::control
