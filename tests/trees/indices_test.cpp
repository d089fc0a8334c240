// The indices of agreement on textbook cases.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "trees/indices.hpp"

namespace metclust::trees {
namespace {

struct RandCase {
  const char* what;
  std::vector<std::int32_t> first;
  std::vector<std::int32_t> second;
  double expected;
};

TEST(AdjustedRand, TextbookCases) {
  const RandCase cases[] = {
      {"identical", {1, 1, 2, 2, 3}, {1, 1, 2, 2, 3}, 1.0},
      {"identical up to the labels", {1, 1, 2, 2, 3}, {7, 7, 4, 4, 9}, 1.0},
      // scikit-learn's user guide: adjusted_rand_score([0,0,1,1], [0,0,1,2])
      // = 0.57 (4/7 exactly), and the index is symmetric.
      {"scikit-learn guide", {0, 0, 1, 1}, {0, 0, 1, 2}, 4.0 / 7.0},
      {"scikit-learn guide, swapped", {0, 0, 1, 2}, {0, 0, 1, 1}, 4.0 / 7.0},
      // By hand: cells 2,1,1,2 give index 2; rows 3,3 give 6; columns 2,2,2
      // give 3; of 15 pairs: (2 - 18/15) / (4.5 - 18/15) = 8/33.
      {"by hand", {1, 1, 1, 2, 2, 2}, {1, 1, 2, 2, 3, 3}, 8.0 / 33.0},
      {"one group against singletons", {1, 1, 1, 1}, {1, 2, 3, 4}, 0.0},
      {"both one group", {5, 5, 5}, {2, 2, 2}, 1.0},
      {"both singletons", {1, 2, 3}, {3, 2, 1}, 1.0},
      // Against any one non-trivial partition a single group scores 0.
      {"one group against two", {1, 1, 1, 1}, {1, 1, 2, 2}, 0.0},
  };
  for (const RandCase& c : cases) {
    const std::optional<double> value = adjusted_rand(c.first, c.second);
    ASSERT_TRUE(value.has_value()) << c.what;
    EXPECT_NEAR(*value, c.expected, 1e-15) << c.what;
  }
  EXPECT_FALSE(adjusted_rand(std::vector<std::int32_t>{1}, std::vector<std::int32_t>{1}));
}

TEST(Pearson, ConstantSeriesHaveNoCorrelation) {
  EXPECT_FALSE(pearson(std::vector<double>{1, 2, 3}, std::vector<double>{4, 4, 4}));
  EXPECT_NEAR(*pearson(std::vector<double>{1, 2, 3}, std::vector<double>{6, 4, 2}), -1.0, 1e-15);
}

}  // namespace
}  // namespace metclust::trees
