#include "import/location_limit.hpp"

#include "import/fields.hpp"
#include "tools/command_line.hpp"
#include "tools/work_space_limit.hpp"

namespace metclust::import {

void check_location_count(std::int64_t count, const std::string& file, Place place) {
  if (count <= tools::kMaxLocations) return;
  const std::string limit = tools::integer_text(tools::kMaxLocations);
  fail_at(file, place,
          "location " + tools::integer_text(count) + " of the job: this build of metclust holds at most " +
              limit + " locations (MAXL); build metclust for more with "
              "cmake -DMETCLUST_MAX_LOCATIONS=N, N at least the job's number of locations");
}

}  // namespace metclust::import
