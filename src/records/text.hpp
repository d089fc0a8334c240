// Fixed-length texts: location and node names of 8 characters, blank-filled
// on the right, and helpers to fill and view them.
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

namespace metclust::records {

using Name = std::array<char, 8>;

inline constexpr Name kBlankName = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

inline std::string_view view(const Name& name) { return {name.data(), name.size()}; }

// The text's first 8 characters, blank-filled when it is shorter.
inline Name make_name(std::string_view text) {
  Name name = kBlankName;
  std::copy_n(text.begin(), std::min(text.size(), name.size()), name.begin());
  return name;
}

}  // namespace metclust::records
