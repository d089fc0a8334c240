// Proximities given as pairs, one CSV row each, under the header row
// year,location_a,location_b,proximity (the year may be called season, or
// as --year-column names it): every pair of the locations a year names,
// once, in either order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/named_columns.hpp"
#include "import/source_text.hpp"
#include "import/source_year.hpp"

namespace metclust::import {

// The years in the order the file first names them.
std::vector<SourceYear> read_long(SourceText& source, const ColumnNames& names);

}  // namespace metclust::import
