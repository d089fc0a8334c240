// The tree of a year: its dendrogram order against the engine's own replay,
// the merge and linkage rows, cophenetic levels and cuts against definitions
// worked out by brute force on random histories, and the Newick text read
// back by a small reader of its own.
#include "records/packed.hpp"
#include "trees/tree.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cluster/replay.hpp"
#include "trees/newick.hpp"

namespace metclust::trees {
namespace {

// The history of the three-location example: 1 + 2 = 4 at 1.0, 4 + 3 = 5 at
// 2.0; the plot data lists the locations as 2, 1, 3.
Tree three_sites(double second_level = 2.0) { return Tree(3, {{1, 2, 1.0}, {4, 3, second_level}}); }

// A random history of n locations: fusions of random current groups, the
// pair in either order, levels from `level(s)`.
template <class Level>
Tree random_tree(std::int32_t n, std::mt19937& random, Level level) {
  std::vector<std::int32_t> current;
  for (std::int32_t k = 1; k <= n; ++k) current.push_back(k);
  std::vector<Fusion> fusions;
  for (std::int32_t s = 1; s < n; ++s) {
    std::uniform_int_distribution<std::size_t> pick(0, current.size() - 1);
    const std::size_t a = pick(random);
    std::size_t b = pick(random);
    while (b == a) b = pick(random);
    fusions.push_back({current[a], current[b], level(s)});
    current.erase(current.begin() + static_cast<std::ptrdiff_t>(std::max(a, b)));
    current.erase(current.begin() + static_cast<std::ptrdiff_t>(std::min(a, b)));
    current.push_back(n + s);
  }
  return Tree(n, fusions);
}

// The locations under every node, by brute force.
std::vector<std::set<std::int32_t>> members(const Tree& tree) {
  const std::int32_t n = tree.locations();
  std::vector<std::set<std::int32_t>> out(static_cast<std::size_t>(n) + tree.fusions().size());
  for (std::int32_t k = 1; k <= n; ++k) out[static_cast<std::size_t>(k) - 1] = {k};
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    auto& joined = out[static_cast<std::size_t>(n) + s];
    for (const std::int32_t child : {tree.fusions()[s].first, tree.fusions()[s].second}) {
      const auto& part = out[static_cast<std::size_t>(child) - 1];
      joined.insert(part.begin(), part.end());
    }
  }
  return out;
}

// Groups after applying the accepted fusions with a union-find, numbered by
// first occurrence in location order.
std::vector<std::int32_t> union_groups(const Tree& tree, const std::vector<bool>& keep) {
  const auto n = static_cast<std::size_t>(tree.locations());
  std::vector<std::size_t> parent(n + tree.fusions().size());
  for (std::size_t k = 0; k < parent.size(); ++k) parent[k] = k;
  const auto find = [&](std::size_t k) {
    while (parent[k] != k) k = parent[k];
    return k;
  };
  for (std::size_t s = 0; s < tree.fusions().size(); ++s) {
    if (!keep[s]) continue;
    parent[find(static_cast<std::size_t>(tree.fusions()[s].first) - 1)] = n + s;
    parent[find(static_cast<std::size_t>(tree.fusions()[s].second) - 1)] = n + s;
  }
  std::map<std::size_t, std::int32_t> number;
  std::vector<std::int32_t> groups;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t root = find(k);
    if (!number.count(root)) number[root] = static_cast<std::int32_t>(number.size()) + 1;
    groups.push_back(number[root]);
  }
  return groups;
}

TEST(Tree, ThreeSitesInEveryForm) {
  const Tree tree = three_sites();
  EXPECT_EQ(tree.order(), (std::vector<std::int32_t>{2, 1, 3}));

  const std::vector<MergeRow> merge = hclust_merge(tree);
  ASSERT_EQ(merge.size(), 2u);
  // As hclust puts them: of two locations the smaller first, a location
  // before a group.
  EXPECT_EQ(merge[0].merge1, -1);
  EXPECT_EQ(merge[0].merge2, -2);
  EXPECT_EQ(merge[0].height, 1.0);
  EXPECT_EQ(merge[1].merge1, -3);
  EXPECT_EQ(merge[1].merge2, 1);
  EXPECT_EQ(merge[1].height, 2.0);

  const std::vector<LinkageRow> linkage = scipy_linkage(tree);
  ASSERT_EQ(linkage.size(), 2u);
  EXPECT_EQ(linkage[0].cluster1, 0);
  EXPECT_EQ(linkage[0].cluster2, 1);
  EXPECT_EQ(linkage[0].size, 2);
  EXPECT_EQ(linkage[1].cluster1, 2);
  EXPECT_EQ(linkage[1].cluster2, 3);
  EXPECT_EQ(linkage[1].size, 3);

  EXPECT_EQ(cophenetic_levels(tree), (std::vector<double>{1.0, 2.0, 2.0}));
  const std::vector<std::string> names = {"A", "B", "C"};
  EXPECT_EQ(newick(tree, names), "((B:1,A:1):1,C:2);\n");
}

// The order must be the one the dendrogram writer lays out in the plot data.
TEST(Tree, OrderIsTheEnginesReplayOrder) {
  std::mt19937 random(20240611);
  for (const std::int32_t n : {2, 3, 5, 17, 64, 411}) {
    for (int round = 0; round < 5; ++round) {
      const Tree tree = random_tree(n, random, [](std::int32_t s) { return double(s); });
      std::vector<std::int32_t> hist;
      for (const Fusion& f : tree.fusions()) {
        hist.push_back(f.first);
        hist.push_back(f.second);
      }
      const auto size = static_cast<std::size_t>(n);
      std::vector<std::int32_t> poslab(size), possiz(size), order(size);
      cluster::REPLAY(poslab, possiz, order, hist, n, 1);
      EXPECT_EQ(tree.order(), order) << "n " << n << " round " << round;
    }
  }
}

// Merge rows: each entry is a location or an earlier row, every location
// and every row but the last is used once, the smaller node first (a
// location before a group, the earlier of two rows, the smaller of two
// locations), and expanding the last row merge1 before merge2, as hclust
// does, gives the drawing order backwards; the linkage rows are the same
// fusions.
TEST(Tree, MergeAndLinkageRowsDescribeTheSameTree) {
  std::mt19937 random(7);
  for (const std::int32_t n : {2, 9, 120}) {
    const Tree tree = random_tree(n, random, [](std::int32_t s) { return 0.5 * s; });
    const std::vector<MergeRow> merge = hclust_merge(tree);
    const std::vector<LinkageRow> linkage = scipy_linkage(tree);
    const auto tops = members(tree);
    ASSERT_EQ(merge.size(), static_cast<std::size_t>(n - 1));
    std::multiset<std::int32_t> used;
    for (std::size_t r = 0; r < merge.size(); ++r) {
      for (const std::int32_t entry : {merge[r].merge1, merge[r].merge2}) {
        ASSERT_NE(entry, 0);
        if (entry > 0) {
          ASSERT_LE(static_cast<std::size_t>(entry), r);
        }
        used.insert(entry);
      }
      const auto node = [n](std::int32_t entry) { return entry < 0 ? -entry : n + entry; };
      EXPECT_LT(node(merge[r].merge1), node(merge[r].merge2)) << "row " << r + 1;
      const auto as_linkage = [&](std::int32_t entry) -> std::int64_t {
        return entry < 0 ? -entry - 1 : n + entry - 1;
      };
      EXPECT_EQ(linkage[r].cluster1, as_linkage(merge[r].merge1));
      EXPECT_EQ(linkage[r].cluster2, as_linkage(merge[r].merge2));
      EXPECT_EQ(linkage[r].height, merge[r].height);
      EXPECT_EQ(linkage[r].size,
                static_cast<std::int64_t>(tops[static_cast<std::size_t>(n) + r].size()));
    }
    EXPECT_EQ(used.size(), static_cast<std::size_t>(2 * n - 2));
    EXPECT_EQ(std::set<std::int32_t>(used.begin(), used.end()).size(), used.size());

    std::vector<std::int32_t> expanded;
    std::vector<std::int32_t> pending{static_cast<std::int32_t>(merge.size())};
    while (!pending.empty()) {
      const std::int32_t entry = pending.back();
      pending.pop_back();
      if (entry < 0) {
        expanded.push_back(-entry);
      } else {
        pending.push_back(merge[static_cast<std::size_t>(entry) - 1].merge2);
        pending.push_back(merge[static_cast<std::size_t>(entry) - 1].merge1);
      }
    }
    EXPECT_EQ(expanded, std::vector<std::int32_t>(tree.order().rbegin(), tree.order().rend()));
  }
}

TEST(Tree, CopheneticLevelIsTheLevelOfTheFirstCommonGroup) {
  std::mt19937 random(99);
  std::uniform_real_distribution<double> any(-3.0, 10.0);
  for (const std::int32_t n : {2, 3, 6, 40, 129}) {
    // Random levels, so inversions and negative levels are common.
    const Tree tree = random_tree(n, random, [&](std::int32_t) { return any(random); });
    const auto tops = members(tree);
    const std::vector<double> levels = cophenetic_levels(tree);
    const CopheneticLookup lookup(tree);
    ASSERT_EQ(levels.size(), static_cast<std::size_t>(n * (n - 1) / 2));
    for (std::int32_t j = 2; j <= n; ++j) {
      for (std::int32_t i = 1; i < j; ++i) {
        std::size_t s = 0;
        while (!tops[static_cast<std::size_t>(n) + s].count(i) ||
               !tops[static_cast<std::size_t>(n) + s].count(j)) {
          ++s;
        }
        EXPECT_EQ(levels[static_cast<std::size_t>(records::packed_index(i, j))], tree.level(s)) << i << "," << j;
        // The lookup finds the same fusion, whichever location comes first.
        EXPECT_EQ(lookup.fusion(i, j), s) << i << "," << j;
        EXPECT_EQ(lookup.fusion(j, i), s) << i << "," << j;
      }
    }
  }
}

TEST(Tree, CutIntoGroupsFollowsTheFusionOrder) {
  std::mt19937 random(5);
  for (const std::int32_t n : {1, 2, 7, 50}) {
    // Levels that go up and down: the cut ignores them.
    const Tree tree = random_tree(n, random, [](std::int32_t s) { return s % 2 ? 5.0 - s : s; });
    for (std::int64_t k = 1; k <= n + 2; ++k) {
      std::vector<bool> keep(tree.fusions().size(), false);
      for (std::int64_t s = 0; s < n - k; ++s) keep[static_cast<std::size_t>(s)] = true;
      const Partition cut = cut_into_groups(tree, k);
      EXPECT_EQ(cut.group, union_groups(tree, keep)) << "n " << n << " k " << k;
      EXPECT_EQ(cut.count, std::min<std::int64_t>(k, n));
    }
  }
  EXPECT_THROW(cut_into_groups(three_sites(), 0), std::invalid_argument);
}

// Numbered as R's cutree numbers: by the first location of each group, not
// by the fusion that made it.
TEST(Tree, GroupsAreNumberedByTheirFirstLocation) {
  // 2+3 = 5, 1+4 = 6, 5+6 = 7: two groups {2,3} and {1,4}.
  const Tree tree(4, {{2, 3, 1.0}, {1, 4, 2.0}, {5, 6, 3.0}});
  EXPECT_EQ(cut_into_groups(tree, 2).group, (std::vector<std::int32_t>{1, 2, 2, 1}));
  EXPECT_EQ(cut_into_groups(tree, 3).group, (std::vector<std::int32_t>{1, 2, 2, 3}));
  EXPECT_EQ(cut_at_level(tree, 1.5).group, (std::vector<std::int32_t>{1, 2, 2, 3}));
}

TEST(Tree, CutAtALevel) {
  // Without inversions: the same groups as a cut into as many groups as
  // there are fusions above the level, plus one (R's cutree with h).
  std::mt19937 random(17);
  std::uniform_int_distribution<int> step(0, 3);
  double level = 0;
  const Tree tree = random_tree(30, random, [&](std::int32_t) { return level += step(random); });
  for (double h = -1.0; h <= level + 1; h += 0.5) {
    std::int64_t above = 0;
    for (const Fusion& f : tree.fusions()) above += f.level > h ? 1 : 0;
    EXPECT_EQ(cut_at_level(tree, h).group, cut_into_groups(tree, above + 1).group) << h;
  }

  // 1+2 at 2.0, then 5+3 at 1.0 below it (an inversion), then 6+4 at 3.0.
  const Tree inverted(4, {{1, 2, 2.0}, {5, 3, 1.0}, {6, 4, 3.0}});
  EXPECT_TRUE(has_inversion(inverted));
  EXPECT_FALSE(has_inversion(three_sites()));
  EXPECT_EQ(effective_levels(inverted), (std::vector<double>{2.0, 2.0, 3.0}));
  const std::vector<std::pair<double, std::vector<std::int32_t>>> cases = {
      {0.5, {1, 2, 3, 4}}, {1.5, {1, 2, 3, 4}},  // joining 3 at 1.0 would bring in the fusion
                                                 // at 2.0
      {2.0, {1, 1, 1, 2}}, {2.5, {1, 1, 1, 2}}, {3.0, {1, 1, 1, 1}},
  };
  for (const auto& [h, groups] : cases) EXPECT_EQ(cut_at_level(inverted, h).group, groups) << h;

  // The inversion under a fusion that lies below the cut: 3 and 4 are
  // joined at 1.2, but through the group of 1 and 2 made at 3.0, so they
  // stay apart at 2.0 (as scipy's fcluster with "distance" has it).
  const Tree nested(5, {{1, 2, 3.0}, {6, 3, 1.0}, {7, 4, 1.2}, {8, 5, 5.0}});
  EXPECT_EQ(cut_at_level(nested, 2.0).group, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(cut_at_level(nested, 3.0).group, (std::vector<std::int32_t>{1, 1, 1, 1, 2}));
}

TEST(Tree, FusionsThatMakeNoTreeAreRefused) {
  const std::vector<std::pair<std::int32_t, std::vector<Fusion>>> bad = {
      {3, {{1, 2, 1.0}}},                            // too few
      {3, {{1, 2, 1.0}, {3, 4, 1.0}, {5, 1, 1.0}}},  // too many
      {3, {{1, 4, 1.0}, {5, 3, 1.0}}},               // a group before it is made
      {3, {{1, 2, 1.0}, {1, 3, 1.0}}},               // a location twice
      {3, {{0, 2, 1.0}, {4, 3, 1.0}}},               // no such node
      {3, {{2, 2, 1.0}, {4, 3, 1.0}}},               // a node with itself
      {3, {{1, 2, std::nan("")}, {4, 3, 1.0}}},
      {-1, {}},
  };
  for (const auto& [n, fusions] : bad) EXPECT_THROW(Tree(n, fusions), std::invalid_argument);
  EXPECT_TRUE(Tree(0, {}).order().empty());
  EXPECT_EQ(Tree(1, {}).order(), std::vector<std::int32_t>{1});
}

TEST(Newick, LabelsAreQuotedWhenTheyMustBe) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"WAGGA", "WAGGA"},
      {"St.Anne-2", "St.Anne-2"},
      {"NEW YORK", "'NEW YORK'"},
      {"A_B", "'A_B'"},  // unquoted, the underscore would read as a blank
      // A quote becomes the typographic apostrophe, which R's ape and
      // Biopython read back (a doubled quote they do not).
      {"O'NEILL", "O\xE2\x80\x99NEILL"},
      {"O'NEILL X", "'O\xE2\x80\x99NEILL X'"},
      {"''", "\xE2\x80\x99\xE2\x80\x99"},
      {"A,B", "'A,B'"},
      {"(7)", "'(7)'"},
      {"X:Y", "'X:Y'"},
      {"A;", "'A;'"},
      {"[C]", "'[C]'"},
      {"", "''"},
      {"Z\xC3\xBCrich", "Z\xC3\xBCrich"},
  };
  for (const auto& [label, expected] : cases) EXPECT_EQ(newick_label(label), expected) << label;
}

// A reader of the Newick this program writes. Every node gets its height
// above the leaves below it, the branch lengths summed along each path
// down; `uneven` records a node whose paths down do not all give the same
// height. Leaves keep their label, quotes undone, and the nodes above them.
struct ReadTree {
  std::vector<std::string> leaves;
  std::vector<std::vector<std::size_t>> paths;  // of each leaf, top first
  std::vector<double> heights;                  // of each inner node
  bool uneven = false;
};

ReadTree read_newick(const std::string& text) {
  ReadTree tree;
  struct Open {
    std::size_t node;
    std::vector<double> below;  // height + branch of each child
  };
  std::vector<Open> open;
  std::size_t at = 0;
  const auto branch = [&] {
    if (text[at] != ':') return 0.0;
    const std::size_t end = text.find_first_of(",);", ++at);
    double value = 0;
    std::from_chars(text.data() + at, text.data() + end, value);
    at = end;
    return value;
  };
  while (at < text.size() && text[at] != ';') {
    const char c = text[at];
    if (c == '(') {
      open.push_back({tree.heights.size(), {}});
      tree.heights.push_back(0.0);
      ++at;
    } else if (c == ',') {
      ++at;
    } else if (c == ')') {
      const Open done = open.back();
      open.pop_back();
      ++at;
      const double height = done.below.front();
      for (const double other : done.below) tree.uneven |= std::abs(other - height) > 1e-9;
      tree.heights[done.node] = height;
      const double length = branch();
      if (!open.empty()) open.back().below.push_back(height + length);
    } else {
      std::string name;
      if (c == '\'') {
        for (++at;; ++at) {
          if (text[at] == '\'' && text[at + 1] != '\'') break;
          if (text[at] == '\'') ++at;
          name += text[at];
        }
        ++at;
      } else {
        while (std::string(":,);").find(text[at]) == std::string::npos) name += text[at++];
      }
      std::vector<std::size_t> path;
      for (const Open& o : open) path.push_back(o.node);
      tree.leaves.push_back(name);
      tree.paths.push_back(path);
      open.back().below.push_back(branch());
    }
  }
  return tree;
}

// Each fusion's node at its level above the leaves, so that the node where
// the paths of two locations part lies at their cophenetic level; also with
// inversions and negative levels, where some branches are negative.
TEST(Newick, BranchLengthsPutEveryFusionAtItsLevel) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> any(-2.0, 6.0);
  for (const std::int32_t n : {2, 3, 25, 300}) {
    const Tree tree = random_tree(n, random, [&](std::int32_t) { return any(random); });
    std::vector<std::string> names;
    for (std::int32_t k = 1; k <= n; ++k) {
      names.push_back(k % 3 == 0 ? "L'" + std::to_string(k) + " x" : "L" + std::to_string(k));
    }
    const std::string text = newick(tree, names);
    ASSERT_EQ(text.back(), '\n');
    const ReadTree read = read_newick(text);
    EXPECT_FALSE(read.uneven);
    ASSERT_EQ(read.leaves.size(), static_cast<std::size_t>(n));
    for (std::size_t k = 0; k < read.leaves.size(); ++k) {
      std::string name = names[static_cast<std::size_t>(tree.order()[k]) - 1];
      if (const std::size_t quote = name.find('\''); quote != std::string::npos) {
        name.replace(quote, 1, "\xE2\x80\x99");
      }
      EXPECT_EQ(read.leaves[k], name);
    }
    std::map<std::int32_t, std::size_t> place;  // of each location among the leaves
    for (std::size_t k = 0; k < tree.order().size(); ++k) place[tree.order()[k]] = k;
    const std::vector<double> cophenetic = cophenetic_levels(tree);
    for (std::int32_t j = 2; j <= std::min(n, 40); ++j) {
      for (std::int32_t i = 1; i < j; ++i) {
        const auto& a = read.paths[static_cast<std::size_t>(place.at(i))];
        const auto& b = read.paths[static_cast<std::size_t>(place.at(j))];
        std::size_t common = 0;
        while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
        ASSERT_GT(common, 0u);
        EXPECT_NEAR(read.heights[a[common - 1]], cophenetic[static_cast<std::size_t>(records::packed_index(i, j))], 1e-9)
            << i << "," << j;
      }
    }
  }
  EXPECT_EQ(newick(Tree(1, {}), std::vector<std::string>{"ONLY ONE"}), "('ONLY ONE':0);\n");
  EXPECT_EQ(newick(Tree(0, {}), std::vector<std::string>{}), ";\n");
}

}  // namespace
}  // namespace metclust::trees
