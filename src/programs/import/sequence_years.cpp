#include "import/sequence_years.hpp"

#include <algorithm>

namespace metclust::import {
namespace {

bool fits_three_columns(std::int64_t year) { return year >= -99 && year <= 999; }
bool fits_after_1900(std::int64_t year) { return year >= 1801 && year <= 2899; }

}  // namespace

std::optional<SequenceYears> sequence_years(std::span<const std::int64_t> years, std::size_t& culprit) {
  const auto [low, high] = std::minmax_element(years.begin(), years.end());
  if (std::all_of(years.begin(), years.end(), fits_three_columns)) {
    return SequenceYears{static_cast<std::int32_t>(*low), static_cast<std::int32_t>(*high)};
  }
  const auto outside = std::find_if_not(years.begin(), years.end(), fits_after_1900);
  if (outside == years.end()) {
    return SequenceYears{static_cast<std::int32_t>(*low - 1900), static_cast<std::int32_t>(*high - 1900)};
  }
  culprit = static_cast<std::size_t>(outside - years.begin());
  return std::nullopt;
}

}  // namespace metclust::import
