#include "trees/tree.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "records/packed.hpp"

namespace metclust::trees {
namespace {

std::string text(std::int64_t value) { return std::to_string(value); }

}  // namespace

Tree::Tree(std::int32_t locations, std::vector<Fusion> fusions)
    : locations_(locations), fusions_(std::move(fusions)) {
  if (locations_ < 0) throw std::invalid_argument("a negative number of locations");
  const auto n = static_cast<std::size_t>(locations_);
  const std::size_t expected = n > 0 ? n - 1 : 0;
  if (fusions_.size() != expected) {
    throw std::invalid_argument(text(locations_) + " locations need " +
                                text(static_cast<std::int64_t>(expected)) + " fusions, not " +
                                text(static_cast<std::int64_t>(fusions_.size())));
  }
  sizes_.assign(n + fusions_.size(), 1);
  std::vector<bool> joined(sizes_.size(), false);
  for (std::size_t s = 0; s < fusions_.size(); ++s) {
    const Fusion& fusion = fusions_[s];
    const auto made = static_cast<std::int64_t>(n + s + 1);
    for (const std::int32_t node : {fusion.first, fusion.second}) {
      if (node < 1 || node >= made) {
        throw std::invalid_argument("fusion " + text(static_cast<std::int64_t>(s) + 1) +
                                    " joins node " + text(node) +
                                    ", neither a location nor an earlier group");
      }
      if (joined[static_cast<std::size_t>(node) - 1]) {
        throw std::invalid_argument("fusion " + text(static_cast<std::int64_t>(s) + 1) +
                                    " joins node " + text(node) + " a second time");
      }
      joined[static_cast<std::size_t>(node) - 1] = true;
    }
    if (!std::isfinite(fusion.level)) {
      throw std::invalid_argument("fusion " + text(static_cast<std::int64_t>(s) + 1) +
                                  " has a level that is no finite number");
    }
    sizes_[n + s] = size(fusion.first) + size(fusion.second);
  }

  // The dendrogram order: expand the top node, left before right. An
  // explicit stack keeps deep trees (a chain of 400 fusions) off the call
  // stack.
  order_.reserve(n);
  if (n == 1) order_.push_back(1);
  if (n > 1) {
    std::vector<std::int32_t> pending{static_cast<std::int32_t>(n + fusions_.size())};
    while (!pending.empty()) {
      const std::int32_t node = pending.back();
      pending.pop_back();
      if (static_cast<std::size_t>(node) <= n) {
        order_.push_back(node);
        continue;
      }
      const std::size_t s = static_cast<std::size_t>(node) - n - 1;
      pending.push_back(right(s));
      pending.push_back(left(s));
    }
  }
}

std::int32_t Tree::left(std::size_t fusion) const {
  const Fusion& f = fusions_.at(fusion);
  return std::max(f.first, f.second);
}

std::int32_t Tree::right(std::size_t fusion) const {
  const Fusion& f = fusions_.at(fusion);
  return std::min(f.first, f.second);
}

std::int32_t Tree::size(std::int32_t node) const {
  return sizes_.at(static_cast<std::size_t>(node) - 1);
}

std::vector<MergeRow> hclust_merge(const Tree& tree) {
  const std::int32_t n = tree.locations();
  const auto entry = [n](std::int32_t node) { return node <= n ? -node : node - n; };
  std::vector<MergeRow> rows;
  rows.reserve(tree.fusions().size());
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    rows.push_back({entry(tree.right(s)), entry(tree.left(s)), tree.level(s)});
  }
  return rows;
}

std::vector<LinkageRow> scipy_linkage(const Tree& tree) {
  // Node k (1-based, locations first, then groups in fusion order) is
  // cluster k - 1 in scipy: both number the groups after the locations.
  std::vector<LinkageRow> rows;
  rows.reserve(tree.fusions().size());
  const std::int32_t n = tree.locations();
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    rows.push_back({std::int64_t{tree.right(s)} - 1, std::int64_t{tree.left(s)} - 1, tree.level(s),
                    tree.size(n + static_cast<std::int32_t>(s) + 1)});
  }
  return rows;
}

std::vector<double> effective_levels(const Tree& tree) {
  const auto n = static_cast<std::size_t>(tree.locations());
  std::vector<double> levels(tree.fusions().size());
  for (std::size_t s = 0; s < levels.size(); ++s) {
    double level = tree.level(s);
    for (const std::int32_t child : {tree.left(s), tree.right(s)}) {
      if (static_cast<std::size_t>(child) > n) {
        level = std::max(level, levels[static_cast<std::size_t>(child) - n - 1]);
      }
    }
    levels[s] = level;
  }
  return levels;
}

bool has_inversion(const Tree& tree) {
  const auto n = static_cast<std::size_t>(tree.locations());
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    for (const std::int32_t child : {tree.left(s), tree.right(s)}) {
      if (static_cast<std::size_t>(child) > n &&
          tree.level(s) < tree.level(static_cast<std::size_t>(child) - n - 1)) {
        return true;
      }
    }
  }
  return false;
}

std::vector<double> cophenetic_levels(const Tree& tree) {
  const auto n = static_cast<std::size_t>(tree.locations());
  std::vector<double> levels(n > 1 ? n * (n - 1) / 2 : 0, 0.0);
  // Members of every node, built fusion by fusion: each fusion sets the
  // level of every pair across its two nodes, so each pair is set once.
  std::vector<std::vector<std::int32_t>> members(n + tree.fusions().size());
  for (std::size_t k = 0; k < n; ++k) members[k] = {static_cast<std::int32_t>(k + 1)};
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    auto& a = members[static_cast<std::size_t>(tree.left(s)) - 1];
    auto& b = members[static_cast<std::size_t>(tree.right(s)) - 1];
    for (const std::int32_t i : a) {
      for (const std::int32_t j : b) levels[static_cast<std::size_t>(records::packed_index(i, j))] = tree.level(s);
    }
    auto& joined = members[n + s];
    joined = std::move(a);
    joined.insert(joined.end(), b.begin(), b.end());
    b.clear();
    b.shrink_to_fit();
  }
  return levels;
}

CopheneticLookup::CopheneticLookup(const Tree& tree) {
  const auto n = static_cast<std::size_t>(tree.locations());
  position_.assign(n, 0);
  for (std::size_t p = 0; p < tree.order().size(); ++p) {
    position_.at(static_cast<std::size_t>(tree.order()[p]) - 1) = static_cast<std::int32_t>(p);
  }
  // The last place of every node's members; fusion s joins the neighbours
  // at the last place of its left node and the one after it.
  std::vector<std::int32_t> last(n + tree.fusions().size(), 0);
  for (std::size_t k = 0; k < n; ++k) last[k] = position_[k];
  std::vector<std::int32_t> joins(n > 0 ? n - 1 : 0, 0);
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    joins.at(static_cast<std::size_t>(last.at(static_cast<std::size_t>(tree.left(s)) - 1))) =
        static_cast<std::int32_t>(s);
    last[n + s] = last.at(static_cast<std::size_t>(tree.right(s)) - 1);
    levels_.push_back(tree.level(s));
  }
  latest_.push_back(std::move(joins));
  for (std::size_t width = 2; width <= latest_.front().size(); width *= 2) {
    const std::vector<std::int32_t>& below = latest_.back();
    std::vector<std::int32_t> row(below.size() - width / 2);
    for (std::size_t p = 0; p < row.size(); ++p) row[p] = std::max(below[p], below[p + width / 2]);
    latest_.push_back(std::move(row));
  }
}

std::size_t CopheneticLookup::fusion(std::int32_t i, std::int32_t j) const {
  auto p = static_cast<std::size_t>(position_.at(static_cast<std::size_t>(i) - 1));
  auto q = static_cast<std::size_t>(position_.at(static_cast<std::size_t>(j) - 1));
  if (p == q) throw std::invalid_argument("a location paired with itself");
  if (p > q) std::swap(p, q);
  // Neighbour joins p .. q - 1: two overlapping runs of a power of two.
  const std::size_t k = static_cast<std::size_t>(std::bit_width(q - p)) - 1;
  const std::vector<std::int32_t>& row = latest_.at(k);
  return static_cast<std::size_t>(std::max(row.at(p), row.at(q - (std::size_t{1} << k))));
}

Partition numbered_as_cutree(std::span<const std::int32_t> labels) {
  Partition partition;
  partition.group.reserve(labels.size());
  std::vector<std::pair<std::int32_t, std::int32_t>> seen;  // label, group number
  for (const std::int32_t label : labels) {
    const auto known = std::find_if(seen.begin(), seen.end(),
                                    [label](const auto& entry) { return entry.first == label; });
    if (known != seen.end()) {
      partition.group.push_back(known->second);
    } else {
      seen.emplace_back(label, ++partition.count);
      partition.group.push_back(partition.count);
    }
  }
  return partition;
}

namespace {

// The groups after the fusions that `keep` accepts; a kept fusion's nodes
// are kept too. Walking from the top node down, a kept fusion passes the
// label of its group on to both of its nodes, and a fusion not kept starts
// a group under each of its nodes, labelled by that node.
Partition groups_after(const Tree& tree, const std::vector<bool>& keep) {
  const auto n = static_cast<std::size_t>(tree.locations());
  std::vector<std::int32_t> label(n + tree.fusions().size(), 0);
  for (std::size_t s = tree.fusions().size(); s-- > 0;) {
    const std::size_t node = n + s;
    if (label[node] == 0) label[node] = static_cast<std::int32_t>(node + 1);
    for (const std::int32_t child : {tree.left(s), tree.right(s)}) {
      label[static_cast<std::size_t>(child) - 1] = keep[s] ? label[node] : child;
    }
  }
  // A year of one location has no fusion to label it.
  for (std::size_t k = 0; k < n; ++k) {
    if (label[k] == 0) label[k] = static_cast<std::int32_t>(k + 1);
  }
  return numbered_as_cutree(std::span(label).first(n));
}

}  // namespace

Partition cut_into_groups(const Tree& tree, std::int64_t groups) {
  if (groups < 1) throw std::invalid_argument("a cut into fewer than one group");
  const std::int64_t n = tree.locations();
  const std::int64_t kept = groups >= n ? 0 : n - groups;
  std::vector<bool> keep(tree.fusions().size(), false);
  for (std::int64_t s = 0; s < kept; ++s) keep[static_cast<std::size_t>(s)] = true;
  return groups_after(tree, keep);
}

Partition cut_at_level(const Tree& tree, double level) {
  const std::vector<double> effective = effective_levels(tree);
  std::vector<bool> keep(effective.size());
  for (std::size_t s = 0; s < effective.size(); ++s) keep[s] = effective[s] <= level;
  return groups_after(tree, keep);
}

}  // namespace metclust::trees
