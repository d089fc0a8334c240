#include "compare/consensus.hpp"

#include <algorithm>
#include <limits>
#include <span>
#include <stdexcept>

#include "cluster/agglom.hpp"
#include "cluster/fusion_sink.hpp"
#include "records/packed.hpp"

namespace metclust::compare {
namespace {

// The engine's strategy number of group-average clustering.
constexpr std::int32_t kGroupAverage = 3;

struct Collect : cluster::FusionSink {
  std::vector<trees::Fusion> fusions;
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t, double dmin) override {
    fusions.push_back({label_i, label_j, dmin});
  }
};

double share(const PairCount& count) {
  return count.years_both == 0 ? 0.0
                               : static_cast<double>(count.years_together) /
                                     static_cast<double>(count.years_both);
}

}  // namespace

std::int32_t consensus_minimum_years(std::size_t years) {
  const auto half = static_cast<std::int64_t>((years + 1) / 2);
  return static_cast<std::int32_t>(years >= 2 ? std::max<std::int64_t>(2, half) : half);
}

Consensus consensus(const Comparison& comparison, const ConsensusCut& cut) {
  Consensus result;
  result.minimum_years = consensus_minimum_years(comparison.columns.size());
  for (std::size_t k = 0; k < comparison.locations.size(); ++k) {
    if (comparison.years_seen(k) >= result.minimum_years) result.members.push_back(k);
  }
  const auto m = static_cast<std::int64_t>(result.members.size());
  if (m > std::numeric_limits<std::int32_t>::max() / 2) throw std::length_error("too many locations");
  const auto nl = static_cast<std::int32_t>(m);

  std::vector<double> matrix(static_cast<std::size_t>(records::packed_size(m)));
  for (std::int64_t j = 2; j <= m; ++j) {
    for (std::int64_t i = 1; i < j; ++i) {
      const PairCount& count = comparison.pair(result.members[static_cast<std::size_t>(i - 1)],
                                               result.members[static_cast<std::size_t>(j - 1)]);
      records::pair_at(std::span<double>(matrix), i, j) = 1.0 - share(count);
    }
  }
  Collect sink;
  if (nl >= 2) {
    std::vector<std::int32_t> sizes(static_cast<std::size_t>(nl));
    std::vector<std::int32_t> labels(static_cast<std::size_t>(nl));
    std::vector<std::int32_t> history(2 * (static_cast<std::size_t>(nl) - 1));
    if (!cluster::AGGLOM(matrix, sizes, labels, history, nl, 0.0, kGroupAverage, sink)) {
      throw std::logic_error("consensus clustering stopped early");
    }
  }
  result.tree = trees::Tree(nl, std::move(sink.fusions));
  result.partition = cut.groups ? trees::cut_into_groups(result.tree, *cut.groups)
                                : trees::cut_at_level(result.tree, cut.level);

  result.stability.assign(result.members.size(), std::nullopt);
  for (std::size_t a = 0; a < result.members.size(); ++a) {
    double total = 0.0;
    std::int64_t others = 0;
    for (std::size_t b = 0; b < result.members.size(); ++b) {
      if (a == b || result.partition.group[a] != result.partition.group[b]) continue;
      total += share(comparison.pair(result.members[a], result.members[b]));
      ++others;
    }
    if (others > 0) result.stability[a] = total / static_cast<double>(others);
  }
  return result;
}

}  // namespace metclust::compare
