// The three measures against R. The expected values were printed by R 4 with
// options(digits = 17) from the table below (genotypes in rows, locations
// in columns):
//   m <- matrix(c(5.2, 4.8, NA, 6.1, 5.5,   4.9, 5.1, 5.3, NA, 5.0,
//                 6.3, NA, 5.9, 6.6, 6.0,   3.1, 3.9, 4.2, 3.3, NA), nrow = 5)
//   dist(t(m)); dist(t(scale(m, scale = FALSE)))
//   r <- 1 - cor(m, use = "pairwise.complete.obs"); r[lower.tri(r)]
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

#include "import/measures.hpp"
#include "records/packed.hpp"

namespace metclust::import {
namespace {

constexpr double NA = std::numeric_limits<double>::quiet_NaN();

// Locations in rows, genotypes in columns.
const TrialTable kTable = {
    {5.2, 4.8, NA, 6.1, 5.5},
    {4.9, 5.1, 5.3, NA, 5.0},
    {6.3, NA, 5.9, 6.6, 6.0},
    {3.1, 3.9, 4.2, 3.3, NA},
};

// R's order of the pairs: (1,2), (1,3), (1,4), (2,3), (2,4), (3,4).
constexpr int kPairs[6][2] = {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};

TEST(Measures, AgreeWithR) {
  struct Case {
    Measure measure;
    double expected[6];
  };
  const Case cases[] = {
      {Measure::Euclidean,
       {0.84656167328001952, 1.68819430161341288, 4.66547603859098903, 2.35230383525031295,
        3.13315602335195997, 6.32719000294232803}},
      {Measure::Centred,
       {0.83852549156242118, 0.67082039324993659, 1.78972763290954395, 0.78195801251303254,
        0.71589105316381851, 1.67425356502532141}},
      {Measure::Correlation,
       {1.569494797451499668, 0.345346329292022802, 1.553133980780464718, 1.846153846153845368,
        0.032752870095094089, 1.818035034237268865}},
  };
  for (const Case& c : cases) {
    const auto result = trial_proximities(kTable, c.measure);
    ASSERT_TRUE(std::holds_alternative<std::vector<double>>(result));
    const auto& packed = std::get<std::vector<double>>(result);
    ASSERT_EQ(packed.size(), 6u);
    for (int k = 0; k < 6; ++k) {
      const double got = packed[static_cast<std::size_t>(records::packed_index(kPairs[k][0], kPairs[k][1]))];
      // A few units in the last place: R sums some of these in long double.
      EXPECT_NEAR(got, c.expected[k], 4e-16 * c.expected[k])
          << measure_name(c.measure) << " pair " << kPairs[k][0] << "," << kPairs[k][1];
    }
  }
}

TEST(Measures, PairsWithoutAProximity) {
  struct Case {
    const char* what;
    Measure measure;
    TrialTable table;
    PairFault::Kind kind;
    std::size_t a, b, constant;
  };
  const Case cases[] = {
      {"no genotype shared", Measure::Euclidean, {{1, 2, NA}, {2, NA, 3}, {NA, NA, 4}},
       PairFault::Kind::NothingShared, 0, 2, 0},
      {"centring does not make up for it", Measure::Centred, {{1, NA}, {NA, 2}},
       PairFault::Kind::NothingShared, 0, 1, 0},
      {"one shared genotype is no correlation", Measure::Correlation, {{1, 2, NA}, {3, NA, 4}},
       PairFault::Kind::OneShared, 0, 1, 0},
      {"a constant location has no correlation", Measure::Correlation,
       {{1, 2, 3}, {4, 5, 7}, {5, 5, 5}}, PairFault::Kind::NoVariation, 0, 2, 2},
      {"constant over the shared genotypes only", Measure::Correlation,
       {{1, 1, 9}, {4, 5, NA}}, PairFault::Kind::NoVariation, 0, 1, 0},
  };
  for (const Case& c : cases) {
    const auto result = trial_proximities(c.table, c.measure);
    ASSERT_TRUE(std::holds_alternative<PairFault>(result)) << c.what;
    const PairFault& fault = std::get<PairFault>(result);
    EXPECT_EQ(fault.kind, c.kind) << c.what;
    EXPECT_EQ(fault.a, c.a) << c.what;
    EXPECT_EQ(fault.b, c.b) << c.what;
    if (c.kind == PairFault::Kind::NoVariation) {
      EXPECT_EQ(fault.constant, c.constant) << c.what;
    }
  }
}

TEST(Measures, CorrelationStaysWithinZeroAndTwo) {
  // Perfectly correlated and anti-correlated locations, where rounding could
  // take r past 1 in magnitude.
  const TrialTable table = {{0.1, 0.2, 0.3, 0.7}, {0.3, 0.6, 0.9, 2.1}, {-0.1, -0.2, -0.3, -0.7}};
  const auto packed = std::get<std::vector<double>>(trial_proximities(table, Measure::Correlation));
  EXPECT_GE(packed[0], 0.0);
  EXPECT_NEAR(packed[0], 0.0, 1e-15);
  EXPECT_LE(packed[1], 2.0);
  EXPECT_NEAR(packed[1], 2.0, 1e-15);
}

}  // namespace
}  // namespace metclust::import
