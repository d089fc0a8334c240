// A year given as a square CSV matrix: the first row names the locations
// from its second field on, each further row starts with a location's name
// and holds its proximities in the order of the header row. The matrix is
// symmetric with a zero diagonal; one triangle may be left empty (or NA),
// in which case the other gives the pair.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "import/source_text.hpp"
#include "import/source_year.hpp"

namespace metclust::import {

SourceYear read_matrix_year(std::int64_t year, SourceText& source);

}  // namespace metclust::import
