#include "formats/strategies.hpp"

#include <array>

#include "records/number_text.hpp"

namespace metclust::formats {
namespace {

constexpr std::array<std::string_view, 8> kNames = {
    "Nearest neighbour", "Furthest neighbour", "Group average",  "Median",
    "Centroid",          "Flexible WPGMA",     "Flexible UPGMA", "Incremental sum of squares",
};
constexpr std::size_t kTextLength = 30;

std::size_t menu_index(std::int32_t ISTRAT) {
  return ISTRAT >= 1 && ISTRAT <= 8 ? static_cast<std::size_t>(ISTRAT - 1) : 0;
}

}  // namespace

std::string_view strategy_text(std::int32_t ISTRAT) {
  static const std::array<std::string, 8> texts = [] {
    std::array<std::string, 8> padded;
    for (std::size_t k = 0; k < padded.size(); ++k) {
      padded[k] = " ";
      padded[k] += kNames[k];
      padded[k].resize(kTextLength, ' ');
    }
    return padded;
  }();
  return texts[menu_index(ISTRAT)];
}

std::string strategy_name(std::int32_t ISTRAT) {
  if (ISTRAT >= 1 && ISTRAT <= 8) return std::string(kNames[menu_index(ISTRAT)]);
  return "strategy " + records::decimal(ISTRAT) + ", clustered as " + std::string(kNames[0]);
}

}  // namespace metclust::formats
