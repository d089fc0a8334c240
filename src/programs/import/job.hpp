// A job put together from the years its source gives: the master list of
// locations (in the order the years, earliest first, first name them), each
// year's locations in that order with their proximities, and the values of
// the run header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/ema.hpp"
#include "import/source_year.hpp"
#include "records/text.hpp"

namespace metclust::import {

struct JobYear {
  std::int64_t year = 0;
  std::vector<std::size_t> members;  // places in the master list, ascending
  std::vector<double> proximities;   // packed over `members`
};

struct ImportedJob {
  std::vector<std::string> locations;  // full names, the master list
  std::vector<records::Name> names;    // their names in the job
  std::vector<JobYear> years;          // earliest first
  formats::RunHeaderValues header;
};

// Sorts the years, builds the master list and the header. A year of more
// locations than a year may have, a job with more locations than this build
// of metclust holds, years that cannot be written without asterisks, or the
// same year twice, is refused at the place in the source where the fault
// shows.
ImportedJob assemble_job(std::vector<SourceYear> years, std::int64_t genotypes);

}  // namespace metclust::import
