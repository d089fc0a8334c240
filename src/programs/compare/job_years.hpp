// A finished job read for the comparison: each year group's locations by
// name, its tree and its cut.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cut_rule.hpp"
#include "compare/across_years.hpp"

namespace metclust::compare {

using cli::CutRule;

struct JobYears {
  std::vector<YearCut> years;
  std::string title;
  std::vector<std::string> notes;  // said on stderr after a successful run
};

// Reads JOB.PCL and JOB.CLS (both required) and cuts every year. A blank
// location name or a name that stands twice in one year is a
// records::LocatedError naming the .PCL file and the listing record. A year
// of fewer than two locations has no node listing, so its location has no
// name: the year keeps its column but holds no location (a note says so).
JobYears read_job_years(const std::string& job, const CutRule& rule);

}  // namespace metclust::compare
