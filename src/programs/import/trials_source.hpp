// Trial results, one CSV row per cell under the header row
// year,location,genotype,value, turned into each year's proximities by one
// of the measures. A cell may be missing: left out, or its value empty or NA.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/measures.hpp"
#include "import/source_year.hpp"

namespace metclust::import {

struct TrialYears {
  std::vector<SourceYear> years;  // in the order the file first names them
  std::int64_t genotypes = 0;     // distinct genotypes of the whole file
};

TrialYears read_trials(std::string_view bytes, const std::string& file, Measure measure);

}  // namespace metclust::import
