// The fast pair search on years of 2000 locations (800 in the sanitizer
// build), far larger than the work space holds by default (a build may hold
// up to 16000): the same fusions, levels and matrix as the full scan, on
// real-valued matrices and on the distances between locations many of which
// stand on the same spot, where most fusions have to choose among equal
// minima.
//
// FNDMIN would take about a quarter of a minute per year of 2000 locations,
// so the full scan here is the reference below: the same pair by the same
// rule, reading each column of the packed matrix in storage order over the
// active groups only. A test holds it to FNDMIN on smaller years.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "cluster/agglom.hpp"
#include "support/fusion_capture.hpp"
#include "cluster/lance_williams.hpp"
#include "cluster/search_ceiling.hpp"
#include "records/packed.hpp"

namespace metclust::cluster {
namespace {

using testing::FusionCapture;

struct Year {
  std::vector<double> pii;
  std::vector<std::int32_t> g, label, hist;
  FusionCapture sink;
  bool complete = false;
};

// The pair that the full scan (i ascending, then j ascending, a pair taken
// when at most the best so far) ends on: of the smallest values at or below
// the ceiling, the one with the largest i, then the largest j. The first
// pass finds that value, in four running minima; the second, from each
// column's end, the largest i holding it there.
bool reference_closest(const std::vector<double>& pii, const std::vector<std::int32_t>& active,
                       std::int32_t& I, std::int32_t& J) {
  double lows[4] = {kCeiling, kCeiling, kCeiling, kCeiling};
  for (std::size_t q = 1; q < active.size(); ++q) {
    const double* const column = pii.data() + records::packed_index(1, active[q]);
    for (std::size_t p = 0; p < q; ++p) {
      const double d = column[active[p] - 1];
      double& low = lows[p % 4];
      low = d < low ? d : low;
    }
  }
  double best = kCeiling;
  for (const double low : lows) best = low < best ? low : best;
  std::int32_t bi = 0;
  std::int32_t bj = 0;
  for (std::size_t q = 1; q < active.size(); ++q) {
    const std::int32_t j = active[q];
    const double* const column = pii.data() + records::packed_index(1, j);
    for (std::size_t p = q; p > 0 && active[p - 1] >= bi; --p) {
      if (column[active[p - 1] - 1] == best) {
        bi = active[p - 1];
        bj = j;
        break;
      }
    }
  }
  I = bi;
  J = bj;
  return bi != 0;
}

// The agglomeration loop with the reference search and the plain update.
Year reference_year(const std::vector<double>& matrix, std::int32_t nl, double beta,
                    std::int32_t istrat) {
  Year y{matrix, std::vector<std::int32_t>(nl, 1), {}, {}, {}, true};
  std::vector<std::int32_t> active;
  for (std::int32_t k = 1; k <= nl; ++k) {
    y.label.push_back(k);
    active.push_back(k);
  }
  for (std::int32_t s = 1; s < nl; ++s) {
    std::int32_t I = 0;
    std::int32_t J = 0;
    if (!reference_closest(y.pii, active, I, J)) {
      y.complete = false;
      break;
    }
    y.hist.push_back(y.label[I - 1]);
    y.hist.push_back(y.label[J - 1]);
    y.sink.fusion(y.label[I - 1], y.label[J - 1], nl + s, records::pair_at<double>(y.pii, I, J));
    LWUPD(y.pii, y.g, I, J, nl, beta, istrat);
    y.g[I - 1] += y.g[J - 1];
    y.g[J - 1] = 0;
    y.label[I - 1] = nl + s;
    std::erase(active, J);
  }
  y.hist.resize(static_cast<std::size_t>(2 * (nl - 1)), -1);
  return y;
}

Year agglom_year(const std::vector<double>& matrix, std::int32_t nl, double beta,
                 std::int32_t istrat, PairSearch search) {
  Year y{matrix, std::vector<std::int32_t>(nl), std::vector<std::int32_t>(nl),
         std::vector<std::int32_t>(static_cast<std::size_t>(2 * (nl - 1)), -1), {}, false};
  y.complete = AGGLOM(y.pii, y.g, y.label, y.hist, nl, beta, istrat, y.sink, search);
  return y;
}

void expect_same(const Year& a, const Year& b) {
  ASSERT_EQ(a.complete, b.complete);
  ASSERT_EQ(a.sink.fusions.size(), b.sink.fusions.size());
  for (std::size_t s = 0; s < a.sink.fusions.size(); ++s) {
    const auto& x = a.sink.fusions[s];
    const auto& y = b.sink.fusions[s];
    ASSERT_TRUE(x.first == y.first && x.second == y.second &&
                x.made == y.made &&
                std::bit_cast<std::uint64_t>(x.level) == std::bit_cast<std::uint64_t>(y.level))
        << "fusion " << s + 1 << ": " << x.first << "+" << x.second << " at " << x.level
        << " against " << y.first << "+" << y.second << " at " << y.level;
  }
  ASSERT_EQ(a.hist, b.hist);
  ASSERT_EQ(a.g, b.g);
  ASSERT_EQ(a.label, b.label);
  ASSERT_EQ(0, std::memcmp(a.pii.data(), b.pii.data(), a.pii.size() * sizeof(double)))
      << "the matrices left behind differ";
}

enum class Values { Real, GridPoints };

const char* name_of(Values values) { return values == Values::Real ? "real" : "grid_points"; }

// How a test's parameters are shown.
void PrintTo(Values values, std::ostream* out) { *out << name_of(values); }

// Uniform reals in [0, 1); or the distances between locations that stand
// on a grid of 5 x 5 x 5 points, about sixteen to a point: locations on the
// same point have equal proximities to every other group, and keep them
// through every fusion under every strategy, so that most fusions choose
// among equal minima, at every level.
std::vector<double> matrix_of(Values values, std::int32_t nl, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<double> m(static_cast<std::size_t>(records::packed_size(nl)));
  if (values == Values::Real) {
    for (double& v : m) v = static_cast<double>(rng() >> 11) * 0x1p-53;
    return m;
  }
  std::vector<std::array<int, 3>> points(static_cast<std::size_t>(nl));
  for (auto& point : points) {
    for (int& c : point) c = static_cast<int>(rng() % 5);
  }
  for (std::int32_t j = 2; j <= nl; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      int sum = 0;
      for (int c = 0; c < 3; ++c) {
        const int d = points[i - 1][c] - points[j - 1][c];
        sum += d * d;
      }
      records::pair_at<double>(m, i, j) = std::sqrt(static_cast<double>(sum));
    }
  }
  return m;
}

// The reference is the full scan: on years small enough for FNDMIN, every
// strategy, both kinds of values, and a flexible beta.
TEST(LargeYear, ReferenceMakesTheFusionsOfTheFullScan) {
  for (const Values values : {Values::Real, Values::GridPoints}) {
    const std::vector<double> m = matrix_of(values, 90, 7);
    for (std::int32_t istrat = 1; istrat <= 8; ++istrat) {
      SCOPED_TRACE(::testing::Message() << "strategy " << istrat);
      const double beta = istrat == 6 || istrat == 7 ? -0.25 : 0.0;
      expect_same(reference_year(m, 90, beta, istrat),
                  agglom_year(m, 90, beta, istrat, PairSearch::Plain));
      if (HasFatalFailure()) return;
    }
  }
}

class LargeYearSearch : public ::testing::TestWithParam<std::tuple<Values, std::int32_t>> {};

// Years whose matrix passes the 2 MiB from which the sweep asks for its
// columns ahead: 2000 locations (16 MB); 800 (2.6 MB) in the sanitizer build,
// where each takes a tenth of the time and still goes the same way.
#ifdef METCLUST_SANITIZE
constexpr std::int32_t kLargeYear = 800;
#else
constexpr std::int32_t kLargeYear = 2000;
#endif
static_assert(std::int64_t{kLargeYear} * (kLargeYear + 1) / 2 * 8 > std::int64_t{2} << 20);

TEST_P(LargeYearSearch, FastSearchMakesTheFusionsOfTheFullScan) {
  constexpr std::int32_t nl = kLargeYear;
  const auto [values, istrat] = GetParam();
  const std::uint64_t seed = 20261210 + static_cast<std::uint64_t>(istrat);
  const std::vector<double> m = matrix_of(values, nl, seed);
  const Year reference = reference_year(m, nl, 0.0, istrat);
  ASSERT_TRUE(reference.complete);
  expect_same(agglom_year(m, nl, 0.0, istrat, PairSearch::Fast), reference);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStrategy, LargeYearSearch,
    ::testing::Combine(::testing::Values(Values::Real, Values::GridPoints),
                       ::testing::Range(1, 9)),
    [](const ::testing::TestParamInfo<LargeYearSearch::ParamType>& info) {
      return std::string(name_of(std::get<0>(info.param))) +
             "_strategy_" + std::to_string(std::get<1>(info.param));
    });

}  // namespace
}  // namespace metclust::cluster
