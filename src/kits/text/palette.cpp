#include "text/palette.hpp"

#include <stdexcept>

namespace metclust::text {
namespace {

// Okabe and Ito's palette, in an order that puts the most distinct colours
// first; yellow, the faintest on white, comes last.
constexpr const char* kGroups[kGroupColours] = {"#0072B2", "#E69F00", "#009E73", "#D55E00",
                                                "#56B4E9", "#CC79A7", "#000000", "#F0E442"};

// Light colours (ColorBrewer's Paired and Set3), for table cells.
constexpr std::string_view kRegions[] = {"#a6cee3", "#b2df8a", "#fb9a99", "#fdbf6f",
                                         "#cab2d6", "#ffff99", "#8dd3c7", "#bebada",
                                         "#fccde5", "#d9d9d9", "#ccebc5", "#ffed6f"};

}  // namespace

GroupStyle group_style(std::int64_t group) {
  const std::int64_t k = group > 0 ? group - 1 : 0;
  return {kGroups[k % static_cast<std::int64_t>(kGroupColours)],
          (k / static_cast<std::int64_t>(kGroupColours)) % 2 == 1};
}

const char* group_colour(std::size_t index) {
  if (index >= kGroupColours) throw std::out_of_range("no such group colour");
  return kGroups[index];
}

std::string_view region_colour(std::int64_t region) {
  const std::int64_t k = region > 0 ? region - 1 : 0;
  return kRegions[static_cast<std::size_t>(k % static_cast<std::int64_t>(std::size(kRegions)))];
}

}  // namespace metclust::text
