// The colours of the pages: a year's groups (metclust-plot's pictures) and
// the regions that metclust-compare matches across years. One table each,
// so that a year's group g, and a region, look the same wherever they are
// shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace metclust::text {

// The colour of a year's group g (1-based, numbered as cutree numbers it)
// and whether it is drawn dashed: eight colours that readers with any
// common colour-vision deficiency tell apart (Okabe and Ito), dashed from
// the ninth group on, then again solid from the seventeenth, and so on.
struct GroupStyle {
  const char* colour;
  bool dashed;
};
GroupStyle group_style(std::int64_t group);

// The eight colours of the groups, the first for group 1.
inline constexpr std::size_t kGroupColours = 8;
const char* group_colour(std::size_t index);  // index < kGroupColours

// The fill of region r (1-based, region A is 1): twelve light colours
// that black text stays readable on, again from the thirteenth region on.
std::string_view region_colour(std::int64_t region);

}  // namespace metclust::text
