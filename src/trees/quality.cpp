#include "trees/quality.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "records/packed.hpp"
#include "trees/indices.hpp"

namespace metclust::trees {
namespace {

void check_count(std::size_t locations, std::span<const double> proximities) {
  if (proximities.size() != static_cast<std::size_t>(records::packed_size(static_cast<std::int64_t>(locations)))) {
    throw std::logic_error("proximities of another number of locations than the tree's");
  }
}

}  // namespace

std::optional<double> cophenetic_correlation(const Tree& tree, std::span<const double> proximities) {
  check_count(static_cast<std::size_t>(tree.locations()), proximities);
  const std::vector<double> levels = cophenetic_levels(tree);
  return pearson(proximities, levels);
}

std::optional<double> agglomerative_coefficient(const Tree& tree) {
  const auto n = static_cast<std::size_t>(tree.locations());
  if (tree.fusions().empty()) return std::nullopt;
  const double last = tree.fusions().back().level;
  if (!(last > 0.0)) return std::nullopt;
  // Each location is a node of exactly one fusion: the one at which it
  // first joins a group.
  std::vector<double> first(n, 0.0);
  for (const Fusion& fusion : tree.fusions()) {
    for (const std::int32_t node : {fusion.first, fusion.second}) {
      if (static_cast<std::size_t>(node) <= n) first.at(static_cast<std::size_t>(node) - 1) = fusion.level;
    }
  }
  double sum = 0.0;
  for (const double level : first) sum += 1.0 - level / last;
  return sum / static_cast<double>(n);
}

std::optional<std::int64_t> mojena_groups(const Tree& tree, double k) {
  const std::int64_t n = tree.locations();
  if (n < 3) return std::nullopt;
  const std::span<const Fusion> fusions = tree.fusions();
  const auto count = static_cast<double>(fusions.size());
  double mean = 0.0;
  for (const Fusion& fusion : fusions) mean += fusion.level;
  mean /= count;
  double squares = 0.0;
  for (const Fusion& fusion : fusions) squares += (fusion.level - mean) * (fusion.level - mean);
  const double threshold = mean + k * std::sqrt(squares / (count - 1.0));
  for (std::size_t j = 0; j < fusions.size(); ++j) {
    // Fusion j + 1 leaves the n - j groups there were before it.
    if (fusions[j].level > threshold) return n - static_cast<std::int64_t>(j);
  }
  return 1;
}

std::vector<double> silhouette_widths(const Partition& partition,
                                      std::span<const double> proximities) {
  const std::size_t n = partition.group.size();
  check_count(n, proximities);
  if (partition.count < 2) return {};
  const auto groups = static_cast<std::size_t>(partition.count);
  std::vector<std::int64_t> members(groups + 1, 0);
  for (const std::int32_t g : partition.group) ++members.at(static_cast<std::size_t>(g));

  std::vector<double> widths(n, 0.0);
  std::vector<double> sums(groups + 1);
  for (std::size_t i = 0; i < n; ++i) {
    const auto own = static_cast<std::size_t>(partition.group[i]);
    if (members[own] < 2) continue;  // alone in its group: width 0
    std::fill(sums.begin(), sums.end(), 0.0);
    for (std::size_t j = 0; j < n; ++j) {
      if (j == i) continue;
      sums[static_cast<std::size_t>(partition.group[j])] += proximities[static_cast<std::size_t>(
          records::packed_index(static_cast<std::int64_t>(i) + 1, static_cast<std::int64_t>(j) + 1))];
    }
    const double a = sums[own] / static_cast<double>(members[own] - 1);
    double b = std::numeric_limits<double>::infinity();
    for (std::size_t g = 1; g <= groups; ++g) {
      if (g != own && members[g] > 0) b = std::fmin(b, sums[g] / static_cast<double>(members[g]));
    }
    const double larger = std::fmax(a, b);
    widths[i] = larger > 0.0 ? (b - a) / larger : 0.0;
  }
  return widths;
}

std::optional<double> mean_silhouette_width(const Partition& partition,
                                            std::span<const double> proximities) {
  const std::size_t n = partition.group.size();
  if (partition.count < 2 || static_cast<std::size_t>(partition.count) >= n) {
    check_count(n, proximities);
    return std::nullopt;
  }
  const std::vector<double> widths = silhouette_widths(partition, proximities);
  double sum = 0.0;
  for (const double width : widths) sum += width;
  return sum / static_cast<double>(n);
}

bool dissimilarities(std::span<const double> proximities) {
  for (const double d : proximities) {
    if (!std::isfinite(d) || d < 0.0) return false;
  }
  return true;
}

}  // namespace metclust::trees
