// Refusing a job with more locations than metclust's work space holds, with
// the reason and the build that would take it.
#pragma once

#include <cstdint>
#include <string>

#include "import/source_year.hpp"

namespace metclust::import {

// Throws records::LocatedError at `place`, where location number `count`
// of the job (or of one year) is first named, when count exceeds what the
// work arrays of this build hold (formats/capacity.hpp).
void check_location_count(std::int64_t count, const std::string& file, Place place);

}  // namespace metclust::import
