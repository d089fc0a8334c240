// The four work arrays of a run, with their build-time capacities.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "formats/capacity.hpp"
#include "records/text.hpp"

namespace metclust::control {

using formats::kCapacityAZ;
using formats::kCapacityDZ;
using formats::kCapacityMZ;
using formats::kCapacityZ;

struct WorkArrays {
  std::span<double> DZ;
  std::span<float> Z;
  std::span<std::int32_t> MZ;
  std::span<records::Name> AZ;
};

// The arrays themselves live in static storage for the whole run.
WorkArrays work_arrays();

}  // namespace metclust::control
