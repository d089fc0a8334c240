#include "import/location_limit.hpp"

#include "control/work_space.hpp"
#include "import/fields.hpp"
#include "tools/command_line.hpp"

namespace metclust::import {

void check_location_count(std::int64_t count, const std::string& file, Place place) {
  if (count <= control::kLocationsHeld) return;
  const std::string held = tools::integer_text(control::kLocationsHeld);
  fail_at(file, place,
          "location " + tools::integer_text(count) + " of the job: this build of metclust holds at most " + held +
              " locations (MAXL); " +
              (count <= control::kLargestBuildLocations
                   ? "build metclust for more with cmake -DMETCLUST_MAX_LOCATIONS=N, N at least the job's "
                     "number of locations"
                   : "no build holds more than " + tools::integer_text(control::kLargestBuildLocations)));
}

}  // namespace metclust::import
