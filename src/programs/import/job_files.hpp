// The files metclust-import writes for a job: JOB.EMA, JOB.NAQ and
// JOB-names.csv.
#pragma once

#include <string>
#include <string_view>

#include "formats/ema.hpp"
#include "import/job.hpp"

namespace metclust::import {

// The .EMA file: run header, title, options, and for every year its year
// record, the number of its locations, the elimination vector over the
// master list (1 for each location of the year, 0 for the others) and the
// matrix rows, all through the formats layer.
std::string ema_bytes(const ImportedJob& job, std::string_view title, const formats::Options& options);

// The .NAQ file, which metclust needs but never reads: the job names of the
// master list, one record each.
std::string naq_bytes(const ImportedJob& job);

// JOB-names.csv: number (the place in the elimination vector), location (the
// full name) and name (the name in the job) of every location.
std::string names_csv(const ImportedJob& job);

}  // namespace metclust::import
