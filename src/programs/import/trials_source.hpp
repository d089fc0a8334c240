// Trial results, one CSV row per cell under the header row
// year,location,genotype,value, turned into each year's proximities by one
// of the measures. A cell may be missing: left out, or its value empty or NA.
// The columns may go by the names breeders give them: the year by season,
// the location by site, environment, env, loc or trial, the genotype by
// variety, gen, geno, entry, cultivar, hybrid or line, the value by yield,
// response or resp; or by the names the command line gives them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/measures.hpp"
#include "import/named_columns.hpp"
#include "import/source_text.hpp"
#include "import/source_year.hpp"

namespace metclust::import {

struct TrialYears {
  std::vector<SourceYear> years;  // in the order the file first names them
  std::int64_t genotypes = 0;     // distinct genotypes of the whole file
};

TrialYears read_trials(SourceText& source, Measure measure, const ColumnNames& names);

}  // namespace metclust::import
