#include "import/location_limit.hpp"

#include "formats/capacity.hpp"
#include "formats/node_names.hpp"
#include "import/fields.hpp"
#include "records/number_text.hpp"

namespace metclust::import {

using records::decimal;

void check_year_locations(std::int64_t year, std::int64_t count, const std::string& file, Place first_beyond) {
  const std::int64_t most = formats::kMaxYearLocations;
  if (count <= most) return;
  fail_at(file, first_beyond,
          "year " + decimal(year) + " has " + decimal(count) + " locations (location " + decimal(most + 1) +
              " is first named here), but a year may have at most " + decimal(most) +
              ": the plot records (.PCL) number a year's 2NL - 1 dendrogram nodes in three columns, so "
              "metclust refuses a larger year in every build");
}

void check_year_locations(const SourceYear& year) {
  const std::vector<SourceLocation>& named = year.locations;
  const auto count = static_cast<std::int64_t>(named.size());
  const std::int64_t most = formats::kMaxYearLocations;
  check_year_locations(year.year, count, year.file,
                       count > most ? named[static_cast<std::size_t>(most)].place : Place{});
}

void check_job_locations(std::int64_t count, const std::string& file, Place first_beyond) {
  const std::int64_t held = formats::kLocationsHeld;
  if (count <= held) return;
  const std::string amount = decimal(count);
  fail_at(file, first_beyond,
          "the job has " + amount + " locations over its years (location " + decimal(held + 1) +
              " is first named here), but this build of metclust holds at most " + decimal(held) +
              ": MAXL, the length of every year's elimination vector, is the job's number of "
              "locations, not that of its largest year; " +
              (count <= formats::kLargestBuildLocations
                   ? "build metclust for " + amount + " with cmake -DMETCLUST_MAX_LOCATIONS=" + amount +
                         " (make install MAX_LOCATIONS=" + amount + ")"
                   : "no build holds more than " + decimal(formats::kLargestBuildLocations)));
}

}  // namespace metclust::import
