// The figures of a year's fit on trees and proximities small enough to work
// out by hand; tests/choose compares them with R on jobs metclust ran.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "trees/quality.hpp"

namespace metclust::trees {
namespace {

TEST(CopheneticCorrelation, ByHandAndWhereUndefined) {
  // Cophenetic levels 1, 2, 2 against proximities 1, 2, 3 (pairs 12, 13,
  // 23): r = 1 / sqrt(2 * 2/3) = sqrt(3) / 2.
  const Tree three(3, {{1, 2, 1.0}, {4, 3, 2.0}});
  EXPECT_NEAR(*cophenetic_correlation(three, std::vector<double>{1, 2, 3}), std::sqrt(3.0) / 2, 1e-15);
  // Constant proximities, and a single pair, have no correlation.
  EXPECT_FALSE(cophenetic_correlation(three, std::vector<double>{2, 2, 2}));
  EXPECT_FALSE(cophenetic_correlation(Tree(2, {{1, 2, 1.0}}), std::vector<double>{1}));
  EXPECT_THROW(cophenetic_correlation(three, std::vector<double>{1, 2}), std::logic_error);
}

struct CoefficientCase {
  const char* what;
  Tree tree;
  std::optional<double> expected;
};

TEST(AgglomerativeCoefficient, ByHand) {
  const CoefficientCase cases[] = {
      // First joins at 1, 1, 2, 2 of a last level 4: mean(3/4, 3/4, 1/2, 1/2).
      {"monotone", Tree(4, {{1, 2, 1.0}, {3, 4, 2.0}, {5, 6, 4.0}}), 0.625},
      // The fusion order does not matter, only where each location joins.
      {"locations joining groups", Tree(4, {{2, 3, 1.0}, {5, 1, 3.0}, {6, 4, 6.0}}),
       (5.0 / 6 + 5.0 / 6 + 0.5 + 0) / 4},
      // An inversion: locations 1 and 2 join at 2, location 3 at 1 below
      // them, location 4 at the last level 3.
      {"inversion", Tree(4, {{1, 2, 2.0}, {5, 3, 1.0}, {6, 4, 3.0}}), (1.0 / 3 + 1.0 / 3 + 2.0 / 3 + 0) / 4},
      // The last fusion below the first: it is the last level that divides,
      // not the highest, and a location can score below 0.
      {"last level below the highest", Tree(4, {{1, 2, 3.0}, {5, 3, 1.0}, {6, 4, 2.0}}), -0.125},
      {"two locations", Tree(2, {{1, 2, 5.0}}), 0.0},
      {"last level 0", Tree(3, {{1, 2, 0.0}, {4, 3, 0.0}}), std::nullopt},
      {"last level below 0", Tree(3, {{1, 2, -2.0}, {4, 3, -1.0}}), std::nullopt},
      {"one location", Tree(1, {}), std::nullopt},
  };
  for (const CoefficientCase& c : cases) {
    const std::optional<double> value = agglomerative_coefficient(c.tree);
    ASSERT_EQ(value.has_value(), c.expected.has_value()) << c.what;
    if (value) {
      EXPECT_NEAR(*value, *c.expected, 1e-15) << c.what;
    }
  }
}

// A chain tree of n = levels + 1 locations with its fusion levels in order.
Tree chain(const std::vector<double>& levels) {
  std::vector<Fusion> fusions;
  const auto n = static_cast<std::int32_t>(levels.size()) + 1;
  for (std::size_t s = 0; s < levels.size(); ++s) {
    const auto next = static_cast<std::int32_t>(s) + 2;
    fusions.push_back({s == 0 ? 1 : n + static_cast<std::int32_t>(s), next, levels[s]});
  }
  return Tree(n, std::move(fusions));
}

TEST(MojenaGroups, ByHand) {
  const struct {
    const char* what;
    std::vector<double> levels;
    std::optional<std::int64_t> expected;
  } cases[] = {
      // m = 4, s = sqrt(50/3) = 4.08, m + 1.25 s = 9.10: fusion 4 (of 5
      // locations) is the first above, leaving 2 groups.
      {"a jump at the end", {1, 2, 3, 10}, 2},
      // m = 2.6, s = 1.29, threshold 4.22: fusion 4 (of 6 locations)
      // leaves 3 groups.
      {"a jump inside", {1, 2, 3, 4.5, 2.5}, 3},
      // No level above the mean: one group.
      {"all levels equal", {1, 1, 1}, 1},
      // m = 2.8, s = 4.02, threshold 7.83: the first fusion, before which
      // each of the 6 locations is a group of its own.
      {"the first level highest (inversions)", {10, 1, 1, 1, 1}, 6},
      {"two locations", {1}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mojena_groups(chain(c.levels)), c.expected) << c.what;
  }
  // The constant k: with k = 0 the first level above the mean.
  EXPECT_EQ(mojena_groups(chain({1, 2, 3, 10}), 0.0), 2);
  EXPECT_EQ(mojena_groups(chain({1, 5, 3, 10}), 0.0), 4);
}

Partition partition(std::vector<std::int32_t> group) {
  Partition p;
  p.count = 0;
  for (const std::int32_t g : group) p.count = std::max(p.count, g);
  p.group = std::move(group);
  return p;
}

TEST(Silhouette, AsClusterSilhouetteGivesIt) {
  // cluster::silhouette(c(1, 1, 2), as.dist(matrix(c(0,1,3, 1,0,1, 3,1,0), 3)))
  // gives widths 2/3, 0, 0: location 2 lies as near location 3 as its own
  // group (a = b = 1), location 3 is alone; the mean width counts all three.
  const std::vector<double> d3 = {1, 3, 1};  // pairs 12, 13, 23
  const std::vector<double> widths = silhouette_widths(partition({1, 1, 2}), d3);
  ASSERT_EQ(widths.size(), 3U);
  EXPECT_NEAR(widths[0], 2.0 / 3.0, 1e-15);
  EXPECT_EQ(widths[1], 0.0);
  EXPECT_EQ(widths[2], 0.0);
  EXPECT_NEAR(*mean_silhouette_width(partition({1, 1, 2}), d3), 2.0 / 9.0, 1e-15);

  // Two groups of two identical locations: a = 0, width 1; all
  // proximities 0: a = b = 0, width 0 (R gives 0 too, not NaN).
  const std::vector<double> pairs = {0, 2, 2, 2, 2, 0};  // 12, 13, 23, 14, 24, 34
  EXPECT_EQ(silhouette_widths(partition({1, 1, 2, 2}), pairs), std::vector<double>(4, 1.0));
  EXPECT_EQ(silhouette_widths(partition({1, 1, 2, 2}), std::vector<double>(6, 0.0)),
            std::vector<double>(4, 0.0));
  // A location closer to the other group scores below 0: group {1, 2, 3}
  // with 3 far from 1 and 2 but near 4.
  const std::vector<double> misplaced = {1, 5, 5, 6, 6, 1};
  const std::vector<double> w = silhouette_widths(partition({1, 1, 1, 2}), misplaced);
  EXPECT_NEAR(w[2], (1.0 - 5.0) / 5.0, 1e-15);

  // The mean is told for 2 to n - 1 groups only.
  EXPECT_FALSE(mean_silhouette_width(partition({1, 1, 1}), d3));
  EXPECT_FALSE(mean_silhouette_width(partition({1, 2, 3}), d3));
  EXPECT_TRUE(silhouette_widths(partition({1, 1, 1}), d3).empty());
  EXPECT_THROW(silhouette_widths(partition({1, 2}), d3), std::logic_error);
}

TEST(Silhouette, WantsDissimilarities) {
  EXPECT_TRUE(dissimilarities(std::vector<double>{0, 1.5, 3}));
  EXPECT_FALSE(dissimilarities(std::vector<double>{0, -0.5, 3}));
  EXPECT_FALSE(dissimilarities(std::vector<double>{0, INFINITY, 3}));
  EXPECT_TRUE(dissimilarities(std::vector<double>{}));
}

}  // namespace
}  // namespace metclust::trees
