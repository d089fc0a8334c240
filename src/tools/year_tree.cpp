#include "tools/year_tree.hpp"

#include <algorithm>
#include <vector>

namespace metclust::tools {

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

}  // namespace metclust::tools
