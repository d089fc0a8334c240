// The fast pair search against the full scan of FNDMIN: same fusions, same
// history, bit-identical levels and matrix, same outcome, on random matrices
// with ties, signed zeros, negative, huge and not-a-number proximities.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "cluster/agglom.hpp"
#include "support/fusion_capture.hpp"
#include "cluster/search_ceiling.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {
namespace {

using testing::FusionCapture;

enum class Kind { Real, SmallIntegers, FewValues, Specials, AllEqual };

const char* name_of(Kind kind) {
  switch (kind) {
    case Kind::Real: return "real";
    case Kind::SmallIntegers: return "small integers";
    case Kind::FewValues: return "few values";
    case Kind::Specials: return "specials";
    case Kind::AllEqual: return "all equal";
  }
  return "";
}

double uniform(std::mt19937_64& rng) { return static_cast<double>(rng() >> 11) * 0x1p-53; }

// Special values stand in one pair out of `rarity` (Specials, AllEqual).
std::vector<double> random_matrix(Kind kind, std::int32_t nl, std::uint64_t rarity,
                                  std::mt19937_64& rng) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const double specials[] = {0.0,   -0.0, 1.0, 2.0, -1.0, -2.5, 3.0, 1e21, kCeiling,
                             std::nextafter(kCeiling, inf), 1e300, -1e300, inf, -inf,
                             std::numeric_limits<double>::quiet_NaN()};
  double pool[4];
  for (double& v : pool) v = uniform(rng) * 10.0 - 2.0;
  const double equal = specials[rng() % 3];

  std::vector<double> m(static_cast<std::size_t>(records::packed_size(nl)));
  for (double& v : m) {
    switch (kind) {
      case Kind::Real: v = uniform(rng) * 2.0 - 0.5; break;
      case Kind::SmallIntegers: v = static_cast<double>(rng() % 4); break;
      case Kind::FewValues: v = pool[rng() % 4]; break;
      case Kind::Specials:
        v = rng() % rarity == 0 ? specials[rng() % std::size(specials)]
                           : static_cast<double>(rng() % 5) - 1.0;
        break;
      case Kind::AllEqual:
        v = rng() % (rarity * 10) == 0 ? specials[rng() % std::size(specials)] : equal;
        break;
    }
  }
  return m;
}

struct Outcome {
  bool complete;
  FusionCapture sink;
  std::vector<double> pii;
  std::vector<std::int32_t> g, label, hist;
};

Outcome run(const std::vector<double>& matrix, std::int32_t nl, double beta, std::int32_t istrat,
            PairSearch search) {
  Outcome o{false, {}, matrix, {}, {}, {}};
  o.g.resize(static_cast<std::size_t>(nl));
  o.label.resize(static_cast<std::size_t>(nl));
  o.hist.assign(static_cast<std::size_t>(2 * (nl - 1)), -1);
  o.complete = AGGLOM(o.pii, o.g, o.label, o.hist, nl, beta, istrat, o.sink, search);
  return o;
}

// The two searches made the same fusions and left the same matrix, G,
// LABEL and HIST behind.
void expect_same(const Outcome& fast, const Outcome& plain) {
  ASSERT_EQ(fast.complete, plain.complete);
  ASSERT_EQ(fast.hist, plain.hist);
  ASSERT_EQ(fast.sink.fusions.size(), plain.sink.fusions.size());
  for (std::size_t s = 0; s < plain.sink.fusions.size(); ++s) {
    const auto& f = fast.sink.fusions[s];
    const auto& p = plain.sink.fusions[s];
    ASSERT_EQ(f.first, p.first) << "fusion " << s + 1;
    ASSERT_EQ(f.second, p.second) << "fusion " << s + 1;
    ASSERT_EQ(f.made, p.made) << "fusion " << s + 1;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(f.level), std::bit_cast<std::uint64_t>(p.level))
        << "fusion " << s + 1;
  }
  ASSERT_EQ(fast.g, plain.g);
  ASSERT_EQ(fast.label, plain.label);
  // The matrices left behind agree bit for bit, but for which NaN: with
  // two NaN operands the compiler's operand order picks the one passed on.
  for (std::size_t q = 0; q < plain.pii.size(); ++q) {
    const bool both_nan = std::isnan(fast.pii[q]) && std::isnan(plain.pii[q]);
    ASSERT_TRUE(both_nan || std::memcmp(&fast.pii[q], &plain.pii[q], sizeof(double)) == 0)
        << "matrix element " << q << ": " << fast.pii[q] << " and " << plain.pii[q];
  }
}

TEST(PairSearch, FastSearchMakesTheFusionsOfTheFullScan) {
  const std::uint64_t seeds[] = {20240101, 20240102, 20240103, 20240104, 20240105};
  const Kind kinds[] = {Kind::Real, Kind::SmallIntegers, Kind::FewValues, Kind::Specials,
                        Kind::AllEqual};
  const std::int32_t strategies[] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 9, -3};
  int years = 0;
  int stopped = 0;
  long fusions = 0;
  for (std::size_t k = 0; k < std::size(kinds); ++k) {
    std::printf("pair search: %s matrices, seed %llu\n", name_of(kinds[k]),
                static_cast<unsigned long long>(seeds[k]));
    std::mt19937_64 rng(seeds[k]);
    for (int matrix = 0; matrix < 60; ++matrix) {
      const std::int32_t nl = matrix % 10 == 9 ? 60 + static_cast<std::int32_t>(rng() % 60)
                                               : 2 + static_cast<std::int32_t>(rng() % 30);
      const std::uint64_t rarity = std::uint64_t{3} << (2 * (matrix % 4));  // 3, 12, 48, 192
      const std::vector<double> m = random_matrix(kinds[k], nl, rarity, rng);
      for (const std::int32_t istrat : strategies) {
        const double beta = matrix % 3 == 0 ? -0.25 : 0.0;
        SCOPED_TRACE(::testing::Message() << name_of(kinds[k]) << " seed " << seeds[k]
                                          << " matrix " << matrix << " NL " << nl
                                          << " strategy " << istrat << " beta " << beta);
        const Outcome fast = run(m, nl, beta, istrat, PairSearch::Fast);
        const Outcome plain = run(m, nl, beta, istrat, PairSearch::Plain);
        ++years;
        stopped += plain.complete ? 0 : 1;
        fusions += static_cast<long>(plain.sink.fusions.size());
        expect_same(fast, plain);
        if (HasFatalFailure()) return;
      }
    }
  }
  std::printf("pair search: %d years, %ld fusions compared; %d years stopped without a pair\n",
              years, fusions, stopped);
  // The special matrices must exercise the stop as well as complete years.
  EXPECT_GT(stopped, 0);
  EXPECT_LT(stopped, years);
}

// Years of 411 locations, the most the work space holds: sweeps over
// hundreds of groups, groups of every size up to the whole year.
TEST(PairSearch, FullSizeYears) {
  constexpr std::int32_t nl = 411;
  const std::uint64_t seed = 20240111;
  std::printf("pair search, full size: seed %llu\n", static_cast<unsigned long long>(seed));
  std::mt19937_64 rng(seed);
  for (const Kind kind : {Kind::Real, Kind::SmallIntegers}) {
    const std::vector<double> m = random_matrix(kind, nl, 192, rng);
    for (std::int32_t istrat = 1; istrat <= 8; ++istrat) {
      SCOPED_TRACE(::testing::Message() << name_of(kind) << " seed " << seed << " strategy "
                                        << istrat);
      const Outcome fast = run(m, nl, 0.0, istrat, PairSearch::Fast);
      const Outcome plain = run(m, nl, 0.0, istrat, PairSearch::Plain);
      ASSERT_TRUE(plain.complete);
      expect_same(fast, plain);
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace metclust::cluster
