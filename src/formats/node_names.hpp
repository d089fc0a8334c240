// How dendrogram nodes are numbered and named in the .PCL records.
#pragma once

#include <array>
#include <cstdint>

#include "records/text.hpp"

namespace metclust::formats {

// Node n right-aligned in 3 characters, leading zeros blank: 7 is "  7",
// 105 is "105". A number outside 0..999 cannot be shown and is "***", as a
// field too narrow for its number is.
std::array<char, 3> NUM3(std::int32_t n);

// "LGp", the three digits of n with leading zeros as underscores, two
// blanks: node 4 is "LGp__4  ". Outside 0..999: "LGp***  ".
records::Name GRPNAM(std::int32_t n);

}  // namespace metclust::formats
