// Reading a year's proximity matrix from the .EMA file into the work
// segments.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/ema.hpp"
#include "records/text.hpp"

namespace metclust::analysis {

// Clears DZ over 1..NTM and reads the NL matrix rows into PII and NAMES.
void RDPROX(formats::EmaReader& input, std::span<double> DZ, std::span<records::Name> NAMES,
            std::int64_t NTM, std::int32_t NL);

}  // namespace metclust::analysis
