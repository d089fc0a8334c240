// TieWatch: which fusions the pair search chose among equal minima, against
// a plain agglomeration written out here for nearest neighbour, with the
// fast and the full-scan search alike; and the clustering unchanged by it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "cluster/agglom.hpp"
#include "support/fusion_capture.hpp"
#include "cluster/tie_watch.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {
namespace {

using metclust::testing::FusionCapture;

struct Watched {
  std::vector<bool> ties;
  std::vector<metclust::testing::Fusion> fusions;
  std::vector<double> matrix;  // as AGGLOM left it
};

Watched watched(std::vector<double> matrix, std::int32_t n, std::int32_t strategy,
                PairSearch search) {
  const auto size = static_cast<std::size_t>(n);
  std::vector<std::int32_t> sizes(size), labels(size), history(2 * (size - 1));
  FusionCapture capture;
  TieWatch watch(matrix, sizes, n, capture);
  EXPECT_TRUE(AGGLOM(matrix, sizes, labels, history, n, 0.0, strategy, watch, search));
  return {watch.ties(), capture.fusions, matrix};
}

// Nearest neighbour by hand: at each step the active pair at the smallest
// proximity met last in the scan (i ascending, then j), whether another
// active pair stood at the same proximity, then the group joined into i.
std::vector<bool> nearest_neighbour_ties(const std::vector<double>& packed, std::int32_t n) {
  std::vector<std::vector<double>> d(static_cast<std::size_t>(n + 1),
                                     std::vector<double>(static_cast<std::size_t>(n + 1)));
  for (std::int32_t j = 2; j <= n; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      d[i][j] = d[j][i] = packed[static_cast<std::size_t>(records::packed_index(i, j))];
    }
  }
  std::vector<bool> active(static_cast<std::size_t>(n + 1), true);
  std::vector<bool> ties;
  for (std::int32_t step = 1; step < n; ++step) {
    std::int32_t bi = 0, bj = 0;
    double best = 1e300;
    for (std::int32_t i = 1; i < n; ++i) {
      for (std::int32_t j = i + 1; j <= n; ++j) {
        if (active[i] && active[j] && d[i][j] <= best) {
          best = d[i][j];
          bi = i;
          bj = j;
        }
      }
    }
    int equal = 0;
    for (std::int32_t i = 1; i < n; ++i) {
      for (std::int32_t j = i + 1; j <= n; ++j) equal += active[i] && active[j] && d[i][j] == best;
    }
    ties.push_back(equal > 1);
    for (std::int32_t k = 1; k <= n; ++k) d[bi][k] = d[k][bi] = std::min(d[bi][k], d[bj][k]);
    active[bj] = false;
  }
  return ties;
}

TEST(TieWatch, ThreeLocationsAtOneProximity) {
  // All pairs at 1: the search takes (2, 3), the last it meets, where R's
  // hclust takes (1, 2); that first fusion is a tie, the last is not.
  const Watched result = watched({1.0, 1.0, 1.0}, 3, 3, PairSearch::Fast);
  EXPECT_EQ(result.ties, (std::vector<bool>{true, false}));
  ASSERT_EQ(result.fusions.size(), 2u);
  EXPECT_EQ(result.fusions[0].first, 2);
  EXPECT_EQ(result.fusions[0].second, 3);
}

TEST(TieWatch, AgreesWithAPlainAgglomeration) {
  std::mt19937_64 rng(2207);
  int tied = 0;
  for (const std::int32_t n : {2, 5, 12, 40, 90}) {
    for (int round = 0; round < 6; ++round) {
      std::vector<double> matrix(static_cast<std::size_t>(records::packed_size(n)));
      // Whole numbers 0..3 give many ties; distinct reals give none under
      // nearest neighbour, whose levels are proximities of the matrix.
      const bool few = round % 2 == 0;
      for (std::size_t k = 0; k < matrix.size(); ++k) {
        matrix[k] = few ? static_cast<double>(rng() % 4) : static_cast<double>(k) + 0.5 * (rng() % 2);
      }
      if (!few) std::shuffle(matrix.begin(), matrix.end(), rng);
      const std::vector<bool> expected = nearest_neighbour_ties(matrix, n);
      const Watched fast = watched(matrix, n, 1, PairSearch::Fast);
      EXPECT_EQ(fast.ties, expected) << "n " << n << " round " << round;
      EXPECT_EQ(watched(matrix, n, 1, PairSearch::Plain).ties, expected);
      if (!few) {
        EXPECT_EQ(std::count(fast.ties.begin(), fast.ties.end(), true), 0);
      }
      tied += static_cast<int>(std::count(expected.begin(), expected.end(), true));
    }
  }
  EXPECT_GT(tied, 0);
}

// Every strategy: the same fusions and matrix with the watch as without it,
// and the same ties from both searches.
TEST(TieWatch, LeavesTheClusteringAsItIs) {
  std::mt19937_64 rng(31);
  const std::int32_t n = 30;
  std::vector<double> matrix(static_cast<std::size_t>(records::packed_size(n)));
  for (double& v : matrix) v = static_cast<double>(rng() % 6) * 0.5;
  for (std::int32_t strategy = 1; strategy <= 8; ++strategy) {
    std::vector<double> plain = matrix;
    std::vector<std::int32_t> sizes(n), labels(n), history(2 * (n - 1));
    FusionCapture capture;
    ASSERT_TRUE(AGGLOM(plain, sizes, labels, history, n, 0.0, strategy, capture));
    const Watched fast = watched(matrix, n, strategy, PairSearch::Fast);
    ASSERT_EQ(fast.fusions.size(), capture.fusions.size());
    for (std::size_t s = 0; s < capture.fusions.size(); ++s) {
      EXPECT_EQ(fast.fusions[s].first, capture.fusions[s].first);
      EXPECT_EQ(fast.fusions[s].second, capture.fusions[s].second);
      EXPECT_EQ(fast.fusions[s].level, capture.fusions[s].level);
    }
    EXPECT_EQ(fast.matrix, plain) << "strategy " << strategy;
    EXPECT_EQ(watched(matrix, n, strategy, PairSearch::Plain).ties, fast.ties)
        << "strategy " << strategy;
    EXPECT_TRUE(fast.ties.front()) << "strategy " << strategy;
  }
}

}  // namespace
}  // namespace metclust::cluster
