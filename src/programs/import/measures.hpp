// The proximity of two locations of a year computed from their trial
// results, genotype by genotype, over the genotypes both have a value for:
//
//   euclidean    as R's dist(): sqrt(sum (x - y)^2 * n / m), over the m
//                genotypes both have, n the genotypes of the year (the sum
//                is scaled up only when m < n)
//   centred      the same after each location's mean, taken over every
//                genotype it has a value for in the year, is taken away
//                (R's scale(center = TRUE, scale = FALSE), then dist())
//   correlation  1 - r, Pearson's r over the genotypes both have, their
//                means taken over those genotypes (R's cor() with
//                use = "pairwise.complete.obs")
//
// Sums run in genotype order and are formed as R forms them: the euclidean
// sum in double, the means and the sums of a correlation in long double.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace metclust::import {

enum class Measure { Euclidean, Centred, Correlation };

std::optional<Measure> measure_named(std::string_view name);
std::string_view measure_name(Measure measure);

// values[l][g]: the value of location l for genotype g, NaN where the trial
// has none. Every row has the same number of genotypes.
using TrialTable = std::vector<std::vector<double>>;

// A pair of locations (0-based, a < b) whose proximity the measure cannot
// give, and why.
struct PairFault {
  enum class Kind {
    NothingShared,  // no genotype has a value at both
    OneShared,      // a correlation over a single genotype
    NoVariation,    // `constant` has the same value for every genotype shared
  };
  std::size_t a = 0, b = 0;
  Kind kind = Kind::NothingShared;
  std::size_t constant = 0;
};

// The strict upper triangle over the table's locations, packed as
// records::packed_index places it; or the first pair, in that order, that
// has no proximity.
std::variant<std::vector<double>, PairFault> trial_proximities(const TrialTable& values,
                                                               Measure measure);

}  // namespace metclust::import
