#include "compare/consensus.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
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

std::vector<bool> doubtful_members(std::span<const double> dissimilarity, const trees::Tree& tree,
                                   const trees::Partition& cut) {
  const std::int32_t n = tree.locations();
  const auto nz = static_cast<std::size_t>(n);
  std::vector<bool> marked(nz, false);
  if (n < 2) return marked;
  if (dissimilarity.size() != static_cast<std::size_t>(records::packed_size(n)) ||
      cut.group.size() != nz) {
    throw std::logic_error("matrix, tree and cut differ in size");
  }
  // Groups live in slots 0..n-1, a fusion's new group in the slot of its
  // first node; sum holds, packed as the matrix is, the sum over the pairs
  // of locations of two groups.
  std::vector<double> sum(dissimilarity.begin(), dissimilarity.end());
  const auto at = [&](std::size_t a, std::size_t b) -> double& {
    return sum[static_cast<std::size_t>(records::packed_index(
        static_cast<std::int64_t>(std::min(a, b)) + 1, static_cast<std::int64_t>(std::max(a, b)) + 1))];
  };
  std::vector<std::vector<std::int32_t>> members(nz);  // by slot, 0-based locations
  for (std::size_t k = 0; k < nz; ++k) members[k] = {static_cast<std::int32_t>(k)};
  std::vector<std::size_t> live(nz);  // the active slots, ascending
  for (std::size_t k = 0; k < nz; ++k) live[k] = k;
  std::vector<std::size_t> slot_of(nz + tree.fusions().size());  // by node - 1
  for (std::size_t k = 0; k < nz; ++k) slot_of[k] = k;
  const auto mean = [&](std::size_t a, std::size_t b) {
    return at(a, b) /
           (static_cast<double>(members[a].size()) * static_cast<double>(members[b].size()));
  };

  struct Step {
    double level = 0.0;
    bool inside = false;
    std::vector<std::int32_t> unsettled;  // locations of linked groups that are not all pairs
    std::vector<std::int32_t> tied;       // locations of every pair at the level, when two or more
  };
  std::vector<Step> steps;
  std::vector<std::size_t> root(nz);
  const auto find = [&](std::size_t x) {
    while (root[x] != x) x = root[x] = root[root[x]];
    return x;
  };
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    const trees::Fusion& fusion = tree.fusions()[s];
    const std::size_t a = slot_of.at(static_cast<std::size_t>(fusion.first) - 1);
    const std::size_t b = slot_of.at(static_cast<std::size_t>(fusion.second) - 1);
    Step step;
    step.inside = cut.group.at(static_cast<std::size_t>(members[a].front())) ==
                  cut.group.at(static_cast<std::size_t>(members[b].front()));
    // One pass over the pairs of groups, keeping those within kEqualShares
    // of the smallest so far, then those of the smallest.
    double low = std::numeric_limits<double>::infinity();
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t y = 1; y < live.size(); ++y) {
      for (std::size_t x = 0; x < y; ++x) {
        const double d = mean(live[x], live[y]);
        if (d > low + kEqualShares) continue;
        low = std::min(low, d);
        pairs.emplace_back(live[x], live[y]);
      }
    }
    std::erase_if(pairs, [&](const auto& p) { return mean(p.first, p.second) > low + kEqualShares; });
    step.level = low;
    if (pairs.size() >= 2) {
      std::vector<std::size_t> slots;
      for (const auto& [i, j] : pairs) {
        root[i] = i;
        root[j] = j;
        slots.push_back(i);
        slots.push_back(j);
      }
      std::sort(slots.begin(), slots.end());
      slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
      for (const auto& [i, j] : pairs) root[find(i)] = find(j);
      // A set of linked groups is settled when it holds every pair of them.
      std::vector<std::int64_t> groups_in(nz, 0);
      std::vector<std::int64_t> pairs_in(nz, 0);
      for (const std::size_t x : slots) ++groups_in[find(x)];
      for (const auto& [i, j] : pairs) ++pairs_in[find(i)];
      for (const std::size_t x : slots) {
        const std::size_t r = find(x);
        const bool settled = pairs_in[r] == groups_in[r] * (groups_in[r] - 1) / 2;
        if (!settled) step.unsettled.insert(step.unsettled.end(), members[x].begin(), members[x].end());
        step.tied.insert(step.tied.end(), members[x].begin(), members[x].end());
      }
    }
    steps.push_back(std::move(step));

    // The fusion, as the engine made it.
    for (const std::size_t k : live) {
      if (k == a || k == b) continue;
      at(a, k) += at(b, k);
    }
    members[a].insert(members[a].end(), members[b].begin(), members[b].end());
    members[b].clear();
    live.erase(std::find(live.begin(), live.end(), b));
    slot_of.at(nz + s) = a;
  }

  double lowest_above = std::numeric_limits<double>::infinity();
  for (const Step& step : steps) {
    if (!step.inside) lowest_above = std::min(lowest_above, step.level);
  }
  for (const Step& step : steps) {
    if (!step.inside) continue;
    for (const std::int32_t k : step.unsettled) marked[static_cast<std::size_t>(k)] = true;
    if (std::abs(step.level - lowest_above) <= kEqualShares) {
      for (const std::int32_t k : step.tied) marked[static_cast<std::size_t>(k)] = true;
    }
  }
  return marked;
}

namespace {

// The groups of a clustering on its way: each group's locations ascending,
// the groups by their first location.
using Groups = std::vector<std::vector<std::int32_t>>;

// Every sequence of fusions group-average clustering can make when it takes
// any one of the pairs at the smallest dissimilarity, up to the cut.
class TieOrders {
 public:
  TieOrders(std::span<const double> dissimilarity, std::int32_t n, const ConsensusCut& rule,
            std::int64_t limit)
      : d_(dissimilarity), n_(n), rule_(rule), left_(limit) {}

  // False when the walk needed more than `limit` states.
  bool walk(const Groups& state, std::int64_t made) {
    if (--left_ < 0) return false;
    if (!seen_.insert(state).second) return true;
    if (state.size() < 2 || (rule_.groups && made >= inside())) {
      ends_.push_back(state);
      return true;
    }
    double low = std::numeric_limits<double>::infinity();
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t b = 1; b < state.size(); ++b) {
      for (std::size_t a = 0; a < b; ++a) {
        const double value = mean(state[a], state[b]);
        if (value > low + kEqualShares) continue;
        low = std::min(low, value);
        pairs.emplace_back(a, b);
      }
    }
    std::erase_if(pairs, [&](const auto& p) {
      return mean(state[p.first], state[p.second]) > low + kEqualShares;
    });
    if (!rule_.groups && low > rule_.level) {
      ends_.push_back(state);
      return true;
    }
    // Linked groups that are all pairs with each other end as one group in
    // every order; when every set of linked groups is so, and the cut does
    // not fall among them, they are merged in one step.
    std::vector<std::size_t> root(state.size());
    for (std::size_t k = 0; k < root.size(); ++k) root[k] = k;
    const auto find = [&](std::size_t x) {
      while (root[x] != x) x = root[x] = root[root[x]];
      return x;
    };
    for (const auto& [a, b] : pairs) root[find(a)] = find(b);
    std::vector<std::int64_t> groups_in(state.size(), 0);
    std::vector<std::int64_t> pairs_in(state.size(), 0);
    for (std::size_t k = 0; k < state.size(); ++k) ++groups_in[find(k)];
    for (const auto& [a, b] : pairs) ++pairs_in[find(a)];
    bool settled = true;
    std::int64_t fusions = 0;
    for (std::size_t k = 0; k < state.size(); ++k) {
      if (find(k) != k) continue;
      settled = settled && pairs_in[k] == groups_in[k] * (groups_in[k] - 1) / 2;
      fusions += groups_in[k] - 1;
    }
    if (settled && (!rule_.groups || made + fusions <= inside())) {
      Groups next;
      std::vector<std::size_t> place(state.size(), state.size());
      for (std::size_t k = 0; k < state.size(); ++k) {
        const std::size_t r = find(k);
        if (place[r] == state.size()) {
          place[r] = next.size();
          next.emplace_back();
        }
        next[place[r]].insert(next[place[r]].end(), state[k].begin(), state[k].end());
      }
      for (std::vector<std::int32_t>& group : next) std::sort(group.begin(), group.end());
      std::sort(next.begin(), next.end());
      return walk(next, made + fusions);
    }
    for (const auto& [a, b] : pairs) {
      if (!walk(merged(state, a, b), made + 1)) return false;
    }
    return true;
  }

  const std::vector<Groups>& ends() const { return ends_; }

 private:
  // The fusions below a cut into K groups.
  std::int64_t inside() const { return n_ - std::min<std::int64_t>(*rule_.groups, n_); }
  double mean(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) const {
    double total = 0.0;
    for (const std::int32_t i : a) {
      for (const std::int32_t j : b) {
        total += d_[static_cast<std::size_t>(
            records::packed_index(std::min(i, j) + 1, std::max(i, j) + 1))];
      }
    }
    return total / (static_cast<double>(a.size()) * static_cast<double>(b.size()));
  }
  static Groups merged(const Groups& state, std::size_t a, std::size_t b) {
    Groups next;
    next.reserve(state.size() - 1);
    for (std::size_t k = 0; k < state.size(); ++k) {
      if (k == b) continue;
      next.push_back(state[k]);
      if (k == a) {
        next.back().insert(next.back().end(), state[b].begin(), state[b].end());
        std::sort(next.back().begin(), next.back().end());
      }
    }
    std::sort(next.begin(), next.end());
    return next;
  }

  std::span<const double> d_;
  std::int64_t n_;
  const ConsensusCut& rule_;
  std::int64_t left_;
  std::set<Groups> seen_;
  std::vector<Groups> ends_;
};

}  // namespace

std::optional<std::vector<bool>> moved_by_ties(std::span<const double> dissimilarity,
                                               std::int32_t n, const ConsensusCut& rule,
                                               std::int64_t limit) {
  if (n < 0 || dissimilarity.size() != static_cast<std::size_t>(records::packed_size(n))) {
    throw std::logic_error("matrix and locations differ in size");
  }
  const auto nz = static_cast<std::size_t>(n);
  std::vector<bool> moved(nz, false);
  if (n < 2) return moved;
  Groups start(nz);
  for (std::size_t k = 0; k < nz; ++k) start[k] = {static_cast<std::int32_t>(k)};
  TieOrders orders(dissimilarity, n, rule, limit);
  if (!orders.walk(start, 0)) return std::nullopt;
  // A location's group in each end, as the first location of that group.
  std::vector<std::vector<std::int32_t>> first(orders.ends().size(), std::vector<std::int32_t>(nz));
  for (std::size_t e = 0; e < orders.ends().size(); ++e) {
    for (const std::vector<std::int32_t>& group : orders.ends()[e]) {
      for (const std::int32_t k : group) first[e][static_cast<std::size_t>(k)] = group.front();
    }
  }
  for (std::size_t e = 1; e < first.size(); ++e) {
    for (std::size_t k = 0; k < nz; ++k) {
      for (std::size_t j = 0; j < nz && !moved[k]; ++j) {
        if ((first[e][j] == first[e][k]) != (first[0][j] == first[0][k])) moved[k] = true;
      }
    }
  }
  return moved;
}

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
  const std::vector<double> dissimilarity = matrix;
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
  // Every state costs a pass over the pairs of locations.
  const std::int64_t limit =
      std::min<std::int64_t>(kTieOrderStates, 400'000'000 / std::max<std::int64_t>(1, m * m));
  std::optional<std::vector<bool>> moved = moved_by_ties(dissimilarity, nl, cut, limit);
  result.ambiguous = moved ? std::move(*moved)
                           : doubtful_members(dissimilarity, result.tree, result.partition);
  return result;
}

}  // namespace metclust::compare
