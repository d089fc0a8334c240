#include "cluster/agglom.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "support/fusion_capture.hpp"
#include "cluster/search_ceiling.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {
namespace {

using testing::Fusion;
using testing::FusionCapture;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kUntouched = -77;

std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

// One year's engine storage, every segment exactly as long as NL needs, so
// that the sanitizer build sees any step outside.
struct Year {
  std::int32_t nl;
  std::vector<double> pii;
  std::vector<std::int32_t> g, label, hist;
  FusionCapture sink;

  explicit Year(std::int32_t n)
      : nl(n),
        pii(static_cast<std::size_t>(records::packed_size(n))),
        g(static_cast<std::size_t>(std::max(n, 0)), kUntouched),
        label(static_cast<std::size_t>(std::max(n, 0)), kUntouched),
        hist(static_cast<std::size_t>(2 * std::max(n - 1, 0)), kUntouched) {}

  double& d(std::int32_t i, std::int32_t j) { return records::pair_at<double>(pii, i, j); }

  bool run(std::int32_t istrat, PairSearch search, double beta = 0.0) {
    return AGGLOM(pii, g, label, hist, nl, beta, istrat, sink, search);
  }
};

class Agglom : public ::testing::TestWithParam<PairSearch> {};

INSTANTIATE_TEST_SUITE_P(BothSearches, Agglom,
                         ::testing::Values(PairSearch::Fast, PairSearch::Plain),
                         [](const auto& info) {
                           return info.param == PairSearch::Fast ? "Fast" : "Plain";
                         });

TEST_P(Agglom, ThreeLocationsNearestNeighbour) {
  Year y(3);
  y.d(1, 2) = 1;
  y.d(1, 3) = 4;
  y.d(2, 3) = 2;
  ASSERT_TRUE(y.run(1, GetParam()));
  ASSERT_EQ(y.sink.fusions.size(), 2u);
  const Fusion& f1 = y.sink.fusions[0];
  const Fusion& f2 = y.sink.fusions[1];
  EXPECT_EQ((std::vector{f1.first, f1.second, f1.made}), (std::vector{1, 2, 4}));
  EXPECT_EQ(f1.level, 1.0);
  EXPECT_EQ((std::vector{f2.first, f2.second, f2.made}), (std::vector{4, 3, 5}));
  EXPECT_EQ(f2.level, 2.0);
  EXPECT_EQ(y.hist, (std::vector{1, 2, 4, 3}));
  EXPECT_EQ(y.g, (std::vector{3, 0, 0}));
  EXPECT_EQ(y.label[0], 5);
}

TEST_P(Agglom, TwoLocationsAndFewer) {
  Year two(2);
  two.d(1, 2) = -2.5;
  ASSERT_TRUE(two.run(4, GetParam()));
  ASSERT_EQ(two.sink.fusions.size(), 1u);
  EXPECT_EQ(two.sink.fusions[0].made, 3);
  EXPECT_EQ(two.sink.fusions[0].level, -2.5);
  EXPECT_EQ(two.hist, (std::vector{1, 2}));

  for (const std::int32_t n : {1, 0, -4}) {
    Year y(n);
    EXPECT_TRUE(y.run(1, GetParam()));
    EXPECT_TRUE(y.sink.fusions.empty());
  }
}

TEST_P(Agglom, AllEqualProximitiesFuseTheLastPairFirst) {
  // Every level stays equal, so each fusion takes the last active pair of
  // the scan: indices NL-1 and NL first, then down the line, the group
  // always at the larger index.
  Year y(6);
  std::fill(y.pii.begin(), y.pii.end(), 7.0);
  ASSERT_TRUE(y.run(1, GetParam()));
  const std::vector<std::int32_t> expected = {5, 6, 4, 7, 3, 8, 2, 9, 1, 10};
  EXPECT_EQ(y.hist, expected);
  for (const Fusion& f : y.sink.fusions) EXPECT_EQ(f.level, 7.0);
}

TEST_P(Agglom, TiesGoToThePairMetLastInTheScan) {
  struct TieCase {
    const char* what;
    std::int32_t nl;
    std::vector<std::pair<std::pair<std::int32_t, std::int32_t>, double>> pairs;  // others 9
    std::int32_t first_i, first_j;
    double dmin;
  };
  const TieCase cases[] = {
      {"later smaller index wins", 4, {{{1, 2}, 1}, {{3, 4}, 1}}, 3, 4, 1},
      {"smaller index decides before the larger", 4, {{{1, 4}, 1}, {{2, 3}, 1}}, 2, 3, 1},
      {"same smaller index: larger j wins", 4, {{{2, 3}, 1}, {{2, 4}, 1}}, 2, 4, 1},
      {"minus zero then zero: zero's bits", 3, {{{1, 2}, -0.0}, {{2, 3}, 0.0}}, 2, 3, 0.0},
      {"zero then minus zero: minus zero's bits", 3, {{{1, 2}, 0.0}, {{2, 3}, -0.0}}, 2, 3, -0.0},
      {"negative values are closest", 4, {{{1, 2}, 0.0}, {{1, 3}, -3.0}}, 1, 3, -3.0},
      {"a value at the ceiling can be taken", 3, {{{1, 2}, kCeiling}, {{1, 3}, kNaN}, {{2, 3}, 2e20}}, 1, 2, kCeiling},
  };
  for (const TieCase& c : cases) {
    Year y(c.nl);
    std::fill(y.pii.begin(), y.pii.end(), 9.0);
    for (const auto& [pair, value] : c.pairs) y.d(pair.first, pair.second) = value;
    y.run(1, GetParam());
    ASSERT_FALSE(y.sink.fusions.empty()) << c.what;
    const Fusion& f = y.sink.fusions[0];
    EXPECT_EQ(f.first, c.first_i) << c.what;
    EXPECT_EQ(f.second, c.first_j) << c.what;
    EXPECT_EQ(bits(f.level), bits(c.dmin)) << c.what;
  }
}

TEST_P(Agglom, NoPairAtOrBelowTheCeilingStopsTheYear) {
  const double above = std::nextafter(kCeiling, std::numeric_limits<double>::infinity());
  for (const double v : {above, 1e21, kNaN, std::numeric_limits<double>::infinity()}) {
    Year y(4);
    std::fill(y.pii.begin(), y.pii.end(), v);
    EXPECT_FALSE(y.run(2, GetParam()));
    EXPECT_TRUE(y.sink.fusions.empty());
    EXPECT_EQ(y.hist, std::vector<std::int32_t>(6, kUntouched));
  }

  // One fusion is possible; the update leaves only NaN proximities for the
  // second one. The first fusion stays recorded.
  Year y(3);
  y.d(1, 2) = 1;
  y.d(1, 3) = kNaN;
  y.d(2, 3) = 5;
  EXPECT_FALSE(y.run(1, GetParam()));
  ASSERT_EQ(y.sink.fusions.size(), 1u);
  EXPECT_EQ(y.sink.fusions[0].made, 4);
  EXPECT_EQ(y.hist, (std::vector{1, 2, kUntouched, kUntouched}));
}

TEST_P(Agglom, SegmentsTooShortThrowBeforeAnyFusion) {
  FusionCapture sink;
  std::vector<double> pii(5, 1.0);  // 4 locations need 6
  std::vector<std::int32_t> g(4), label(4), hist(6);
  EXPECT_THROW(AGGLOM(pii, g, label, hist, 4, 0.0, 1, sink, GetParam()), std::out_of_range);
  pii.resize(6, 1.0);
  std::vector<std::int32_t> short_hist(5);
  EXPECT_THROW(AGGLOM(pii, g, label, short_hist, 4, 0.0, 1, sink, GetParam()),
               std::out_of_range);
  std::vector<std::int32_t> short_g(3);
  EXPECT_THROW(AGGLOM(pii, short_g, label, hist, 4, 0.0, 1, sink, GetParam()),
               std::out_of_range);
  EXPECT_TRUE(sink.fusions.empty());
}

TEST(Fndmin, NoPairTakenSetsNothing) {
  const std::vector<double> pii = {kNaN, 3e20, kNaN};
  const std::vector<std::int32_t> g = {1, 1, 1};
  std::int32_t i = kUntouched, j = kUntouched;
  double dmin = -1.5;
  EXPECT_FALSE(FNDMIN(pii, g, i, j, dmin, 3));
  EXPECT_EQ(i, kUntouched);
  EXPECT_EQ(j, kUntouched);
  EXPECT_EQ(dmin, -1.5);

  // Inactive indices are passed over even when their pairs are closest.
  const std::vector<double> pii2 = {1.0, 9.0, 0.5};
  const std::vector<std::int32_t> g2 = {1, 1, 0};
  EXPECT_TRUE(FNDMIN(pii2, g2, i, j, dmin, 3));
  EXPECT_EQ((std::pair{i, j}), (std::pair{1, 2}));
  EXPECT_EQ(dmin, 1.0);
}

// ---- Fusion levels against the definitions of the strategies ------------

// The proximity of two groups by definition, from the original matrix and
// the members of each group; WPGMA splits the group made later into the two
// it was made from.
struct Definitions {
  std::int32_t nl;
  std::vector<double> original;
  std::map<std::int32_t, std::vector<std::int32_t>> members;
  std::map<std::int32_t, std::pair<std::int32_t, std::int32_t>> parts;

  double d(std::int32_t a, std::int32_t b) const {
    return original[static_cast<std::size_t>(records::packed_index(a, b))];
  }
  double single(std::int32_t x, std::int32_t y) const {
    double m = std::numeric_limits<double>::infinity();
    for (auto a : members.at(x)) for (auto b : members.at(y)) m = std::min(m, d(a, b));
    return m;
  }
  double complete(std::int32_t x, std::int32_t y) const {
    double m = -std::numeric_limits<double>::infinity();
    for (auto a : members.at(x)) for (auto b : members.at(y)) m = std::max(m, d(a, b));
    return m;
  }
  double average(std::int32_t x, std::int32_t y) const {
    double sum = 0;
    for (auto a : members.at(x)) for (auto b : members.at(y)) sum += d(a, b);
    return sum / static_cast<double>(members.at(x).size() * members.at(y).size());
  }
  double wpgma(std::int32_t x, std::int32_t y) const {
    if (x <= nl && y <= nl) return d(x, y);
    if (x < y) std::swap(x, y);
    const auto [p, q] = parts.at(x);
    return (wpgma(p, y) + wpgma(q, y)) / 2;
  }
  double of(std::int32_t istrat, std::int32_t x, std::int32_t y) const {
    switch (istrat) {
      case 1: return single(x, y);
      case 2: return complete(x, y);
      case 6: return wpgma(x, y);
      default: return average(x, y);  // 3, and 7 with BETA 0
    }
  }
};

TEST(AgglomDefinitions, LevelsAreMinMaxMeanAndWpgmaOfTheOriginalProximities) {
  for (const std::uint64_t seed : {11u, 12u, 13u, 14u, 15u, 16u}) {
    std::mt19937_64 rng(seed);
    const std::int32_t nl = 6 + static_cast<std::int32_t>(seed % 4) * 3;
    const bool integers = seed % 2 == 1;  // integer values force ties
    std::vector<double> original(static_cast<std::size_t>(records::packed_size(nl)));
    for (double& v : original) {
      v = integers ? static_cast<double>(rng() % 6)
                   : static_cast<double>(rng() >> 11) * 0x1p-53 * 100.0 - 20.0;
    }
    std::printf("definitions: seed %llu, NL %d\n", static_cast<unsigned long long>(seed), nl);
    for (const std::int32_t istrat : {1, 2, 3, 6, 7}) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << " strategy " << istrat);
      Year y(nl);
      y.pii = original;
      ASSERT_TRUE(y.run(istrat, PairSearch::Fast));
      ASSERT_EQ(y.sink.fusions.size(), static_cast<std::size_t>(nl - 1));

      Definitions def{nl, original, {}, {}};
      std::vector<std::int32_t> current;
      for (std::int32_t k = 1; k <= nl; ++k) {
        def.members[k] = {k};
        current.push_back(k);
      }
      for (const Fusion& f : y.sink.fusions) {
        const double level = def.of(istrat, f.first, f.second);
        const double tolerance = 1e-12 * std::max(1.0, std::fabs(level));
        EXPECT_NEAR(f.level, level, tolerance) << "fusion " << f.made;
        // No pair of current groups is closer by the definition.
        for (std::size_t a = 0; a < current.size(); ++a) {
          for (std::size_t b = a + 1; b < current.size(); ++b) {
            EXPECT_GE(def.of(istrat, current[a], current[b]) + tolerance, f.level)
                << "groups " << current[a] << " and " << current[b] << " at fusion "
                << f.made;
          }
        }
        std::vector<std::int32_t> joined = def.members[f.first];
        joined.insert(joined.end(), def.members[f.second].begin(), def.members[f.second].end());
        def.members[f.made] = joined;
        def.parts[f.made] = {f.first, f.second};
        std::erase(current, f.first);
        std::erase(current, f.second);
        current.push_back(f.made);
      }
      EXPECT_EQ(y.g[0], nl);
      EXPECT_EQ(y.label[0], 2 * nl - 1);
      EXPECT_TRUE(std::all_of(y.g.begin() + 1, y.g.end(), [](auto v) { return v == 0; }));
    }
  }
}

}  // namespace
}  // namespace metclust::cluster
