// Refusing what metclust cannot run: a year with more locations than its
// plot records can number, and a job with more locations than the work
// space of this build holds, each with the number it has and what would
// take it.
#pragma once

#include <cstdint>
#include <string>

#include "import/source_year.hpp"

namespace metclust::import {

// Throws records::LocatedError when a year of `count` locations has more
// than a year may have (formats::kMaxYearLocations, 500); `first_beyond` is
// where location 501 is first named.
void check_year_locations(std::int64_t year, std::int64_t count, const std::string& file, Place first_beyond);
// The same for a year whose locations have all been named.
void check_year_locations(const SourceYear& year);

// Throws records::LocatedError when a job of `count` locations over all its
// years (its MAXL: every elimination vector has one place for each) exceeds
// what the work arrays of this build hold (formats/capacity.hpp);
// `first_beyond` is where the first location too many is first named.
void check_job_locations(std::int64_t count, const std::string& file, Place first_beyond);

}  // namespace metclust::import
