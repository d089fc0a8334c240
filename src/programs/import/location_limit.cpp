#include "import/location_limit.hpp"

#include "formats/capacity.hpp"
#include "import/fields.hpp"
#include "records/number_text.hpp"

namespace metclust::import {

void check_location_count(std::int64_t count, const std::string& file, Place place) {
  if (count <= formats::kLocationsHeld) return;
  const std::string held = records::decimal(formats::kLocationsHeld);
  fail_at(file, place,
          "location " + records::decimal(count) + " of the job: this build of metclust holds at most " + held +
              " locations (MAXL); " +
              (count <= formats::kLargestBuildLocations
                   ? "build metclust for more with cmake -DMETCLUST_MAX_LOCATIONS=N, N at least the job's "
                     "number of locations"
                   : "no build holds more than " + records::decimal(formats::kLargestBuildLocations)));
}

}  // namespace metclust::import
