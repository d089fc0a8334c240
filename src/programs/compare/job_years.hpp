// A finished job read for the comparison: each year group's locations by
// name, its tree and its cut.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cut_rule.hpp"
#include "compare/across_years.hpp"
#include "jobs/location_names.hpp"

namespace metclust::compare {

using cli::CutRule;

struct JobYears {
  std::vector<YearCut> years;
  std::string title;
  std::optional<jobs::FullNames> full_names;  // from JOB-names.csv
  std::vector<std::string> notes;  // said on stderr after a successful run
};

// Reads JOB.PCL and JOB.CLS (both required), JOB.EMA for the levels at
// full precision (jobs/full_precision.hpp; a note says when a year keeps
// the 8 digits of JOB.CLS) and JOB-names.csv when they are there, and cuts
// every year. Locations are named as every companion
// program names them (jobs/location_names.hpp), so " A" and "A" are one
// name; a blank name, or a name that stands twice in one year, is a
// records::LocatedError naming the .PCL file and the listing record, for
// the comparison knows a location across years by its name alone. A year of
// fewer than two locations has no node listing, so its location has no
// name: the year keeps its column but holds no location (a note says so).
JobYears read_job_years(const std::string& job, const CutRule& rule,
                        const std::optional<std::string>& ema_file = {});

}  // namespace metclust::compare
