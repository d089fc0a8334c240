#include "jobs/year_tree.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::jobs {

trees::Tree year_tree(const formats::YearPlot& year) {
  const bool levels = year.levels.size() == year.fusions.size();
  std::vector<trees::Fusion> fusions;
  fusions.reserve(year.fusions.size());
  for (std::size_t s = 0; s < year.fusions.size(); ++s) {
    fusions.push_back({year.fusions[s].first(), year.fusions[s].second(),
                       levels ? year.levels[s] : static_cast<double>(s + 1)});
  }
  return trees::Tree(
      std::max(0, year.fusions.empty() ? std::min(year.locations, 1) : year.locations),
      std::move(fusions));
}

trees::Tree checked_year_tree(const formats::YearPlot& year, const std::string& plot_file) {
  std::optional<trees::Tree> tree;
  try {
    tree.emplace(year_tree(year));
  } catch (const std::invalid_argument& error) {
    throw records::LocatedError(plot_file, year.line, 0, error.what());
  }
  const std::vector<std::int32_t>& order = tree->order();
  for (std::size_t slot = 0; slot < year.listing.size() && slot < order.size(); ++slot) {
    if (year.listing[slot].number != order[slot]) {
      throw records::LocatedError(
          plot_file, year.line + static_cast<std::int64_t>(slot) + 1, 29,
          "node listing entry " + records::decimal(static_cast<std::int64_t>(slot) + 1) +
              " is location " + records::decimal(year.listing[slot].number) +
              ", the fusions put location " + records::decimal(order[slot]) + " there");
    }
  }
  return std::move(*tree);
}

}  // namespace metclust::jobs
