// The names of the eight clustering strategies, by menu number 1..8, as the
// files and the console show them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace metclust::formats {

// The 30-character strategy text of the listing and the console, with its
// leading blank: " Group average" and blanks. Numbers outside the menu are
// clustered as strategy 1 and shown so.
std::string_view strategy_text(std::int32_t ISTRAT);

// The strategy's name for people: "Group average"; a number outside the
// menu is named with the number and how it was clustered.
std::string strategy_name(std::int32_t ISTRAT);

}  // namespace metclust::formats
