// How dendrogram nodes are numbered and named in the .PCL records.
#pragma once

#include <array>
#include <cstdint>

#include "records/text.hpp"

namespace metclust::formats {

// The largest node number the three columns of NUM3 show.
inline constexpr std::int32_t kLargestNodeNumber = 999;
// The most locations a year may have: the plot records number its NL
// locations and NL - 1 groups, 2NL - 1 nodes, in those three columns. A run
// refuses a larger year before any of its plot records is written.
inline constexpr std::int32_t kMaxYearLocations = (kLargestNodeNumber + 1) / 2;

// Node n right-aligned in 3 characters, leading zeros blank: 7 is "  7",
// 105 is "105". A number outside 0..999 cannot be shown and is "***", as a
// field too narrow for its number is.
std::array<char, 3> NUM3(std::int32_t n);

// "LGp", the three digits of n with leading zeros as underscores, two
// blanks: node 4 is "LGp__4  ". Outside 0..999: "LGp***  ".
records::Name GRPNAM(std::int32_t n);

}  // namespace metclust::formats
