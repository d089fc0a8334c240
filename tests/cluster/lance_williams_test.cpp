#include "cluster/lance_williams.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>
#include <algorithm>
#include <vector>

#include "cluster/lance_williams_formula.hpp"
#include "cluster/two_lane.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {
namespace {

// Three groups at indices I = 1, J = 2, K = 3 of sizes gi, gj, gk.
struct Case {
  const char* what;
  std::int32_t istrat;
  double beta;
  std::int32_t gi, gj, gk;
  double dik, djk, dij;
  double expected;
};

double distance(const Case& c) {
  std::vector<double> pii(3);
  records::pair_at<double>(pii, 1, 2) = c.dij;
  records::pair_at<double>(pii, 1, 3) = c.dik;
  records::pair_at<double>(pii, 2, 3) = c.djk;
  const std::vector<std::int32_t> g = {c.gi, c.gj, c.gk};
  return LWDIST(pii, g, 1, 2, 3, c.beta, c.istrat);
}

TEST(LanceWilliams, StrategyTable) {
  const Case cases[] = {
      {"nearest neighbour takes the smaller", 1, 0.0, 1, 1, 1, 3, 5, 9, 3},
      {"furthest neighbour takes the larger", 2, 0.0, 1, 1, 1, 3, 5, 9, 5},
      {"group average weights 3:1 by size", 3, 0.0, 3, 1, 1, 4, 8, 9, 5},
      {"median", 4, 0.0, 2, 5, 7, 3, 5, 2, 3.5},
      {"centroid of single locations is the median", 5, 0.0, 1, 1, 1, 3, 5, 2, 3.5},
      {"centroid weights by size", 5, 0.0, 3, 1, 1, 4, 8, 4, 4.25},
      {"flexible WPGMA with beta 0 is the plain mean", 6, 0.0, 4, 1, 2, 3, 5, 9, 4},
      {"flexible WPGMA beta -0.25", 6, -0.25, 1, 1, 1, 4, 8, 4, 6.5},
      {"flexible UPGMA with beta 0 is group average", 7, 0.0, 3, 1, 1, 4, 8, 9, 5},
      {"flexible UPGMA beta -0.25", 7, -0.25, 1, 1, 1, 4, 8, 4, 6.5},
      {"sum of squares, single locations", 8, 0.0, 1, 1, 1, 3, 6, 3, 5},
      {"sum of squares by size", 8, 0.0, 2, 1, 3, 6, 12, 6, 10},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(distance(c), c.expected, 1e-12 * std::fabs(c.expected)) << c.what;
  }
}

TEST(LanceWilliams, NearestNeighbourFollowsTheFormulaNotAComparison) {
  // 0.5*1 + 0.5*2^54 rounds to 2^53; |2^54 - 1| rounds to 2^54, so the
  // formula gives 0, where min(2^54, 1) would be 1 and another grouping 0.5.
  const double big = std::ldexp(1.0, 54);
  const Case c = {"", 1, 0.0, 1, 1, 1, big, 1.0, 0.0, 0.0};
  EXPECT_EQ(std::bit_cast<std::uint64_t>(distance(c)), std::bit_cast<std::uint64_t>(0.0));
  EXPECT_EQ(distance({"", 2, 0.0, 1, 1, 1, big, 1.0, 0.0, 0.0}), big);
}

TEST(LanceWilliams, UnknownStrategyNumbersWorkAsNearestNeighbour) {
  for (const std::int32_t istrat : {0, 9, -3, 1000}) {
    const Case c = {"", istrat, 0.3, 2, 3, 4, 0.1, 0.7, 0.3, 0.0};
    Case one = c;
    one.istrat = 1;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(distance(c)), std::bit_cast<std::uint64_t>(distance(one)))
        << "ISTRAT " << istrat;
  }
}

TEST(LanceWilliams, UpgmaWithBetaZeroIsGroupAverageBitForBit) {
  const Case upgma = {"", 7, 0.0, 3, 7, 2, 0.123456789, 9.87654321, 4.5, 0.0};
  Case average = upgma;
  average.istrat = 3;
  EXPECT_EQ(std::bit_cast<std::uint64_t>(distance(upgma)),
            std::bit_cast<std::uint64_t>(distance(average)));
}

// The fast search makes two K at once through the same formula over two
// lanes: each lane must carry the bits of the one-lane formula, with other
// terms and other values in the other lane, where the sign of a zero, a
// not-a-number or an infinity decides the outcome.
TEST(LanceWilliams, TwoLanesGiveEachLaneTheBitsOfOneLane) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Terms<double> terms_of[] = {
      terms(coefficients(1, 0.0, 1, 1, 1), 2.0),      // g = -0.5
      terms(coefficients(2, 0.0, 3, 1, 1), -0.0),     // g = 0.5, b * D(I,J) = 0
      terms(coefficients(5, 0.0, 3, 1, 1), 4.0),      // b = -ai * aj
      terms(coefficients(8, 0.0, 2, 5, 3), -1.5),     // weighs by K's size
      terms(coefficients(6, -0.25, 1, 1, 1), 1e300),  // b * D(I,J) near overflow
  };
  const double values[] = {0.0, -0.0, 1.0, -1.0, 0.1, 1e300, -1e300, inf, -inf, nan,
                           std::ldexp(1.0, 54)};
  auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  for (const Terms<double>& a : terms_of) {
    for (const Terms<double>& b : terms_of) {
      const Terms<TwoReals> both = {TwoReals{a.ai, b.ai}, TwoReals{a.aj, b.aj},
                                    TwoReals{a.bd, b.bd}, TwoReals{a.g, b.g}};
      for (const double dik : values) {
        for (const double djk : values) {
          // The other lane takes the values the other way round.
          const TwoReals two = lance_williams(both, TwoReals{dik, djk}, TwoReals{djk, dik});
          ASSERT_EQ(bits(two[0]), bits(lance_williams(a, dik, djk))) << dik << " " << djk;
          ASSERT_EQ(bits(two[1]), bits(lance_williams(b, djk, dik))) << djk << " " << dik;
        }
      }
    }
  }
}

TEST(LanceWilliams, SweepRewritesOnlyThePairsOfIWithActiveGroups) {
  // Five locations; fuse I = 2 and J = 4 under furthest neighbour; index 5 is
  // inactive. D(a,b) = 10a + b for a < b, so every pair is told apart.
  constexpr std::int32_t n = 5;
  std::vector<double> pii(records::packed_size(n));
  for (std::int32_t a = 1; a < n; ++a) {
    for (std::int32_t b = a + 1; b <= n; ++b) records::pair_at<double>(pii, a, b) = 10.0 * a + b;
  }
  const std::vector<double> before = pii;
  const std::vector<std::int32_t> g = {1, 1, 1, 1, 0};
  LWUPD(pii, g, 2, 4, n, 0.0, 2);

  auto d = [&](const std::vector<double>& m, std::int32_t a, std::int32_t b) {
    return m[static_cast<std::size_t>(records::packed_index(a, b))];
  };
  EXPECT_EQ(d(pii, 1, 2), std::max(d(before, 1, 2), d(before, 1, 4)));  // K = 1 below I
  EXPECT_EQ(d(pii, 2, 3), std::max(d(before, 2, 3), d(before, 3, 4)));  // K = 3 between
  const std::pair<std::int32_t, std::int32_t> kept[] = {{2, 5}, {2, 4}, {1, 4}, {3, 4},
                                                         {4, 5}, {1, 3}, {1, 5}, {3, 5}};
  for (const auto& [a, b] : kept) {
    EXPECT_EQ(d(pii, a, b), d(before, a, b)) << "pair " << a << "," << b << " must keep its value";
  }
}

TEST(LanceWilliams, IndicesOutsideTheSegmentsThrow) {
  std::vector<double> pii(3, 1.0);
  const std::vector<std::int32_t> g = {1, 1, 1};
  EXPECT_THROW(LWDIST(pii, g, 1, 2, 4, 0.0, 1), std::out_of_range);
  EXPECT_THROW(LWDIST(pii, g, 0, 2, 3, 0.0, 1), std::out_of_range);
  std::vector<double> short_pii(2, 1.0);
  EXPECT_THROW(LWDIST(short_pii, g, 1, 2, 3, 0.0, 1), std::out_of_range);
  EXPECT_THROW(LWUPD(pii, g, 1, 2, 4, 0.0, 1), std::out_of_range);
}

}  // namespace
}  // namespace metclust::cluster
