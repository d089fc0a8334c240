#include "import/measures.hpp"

#include <cmath>

#include "records/packed.hpp"

namespace metclust::import {
namespace {

// R's dist(method = "euclidean") for two rows with missing values.
std::optional<double> euclidean(const std::vector<double>& x, const std::vector<double>& y) {
  const std::size_t n = x.size();
  std::size_t count = 0;
  double sum = 0.0;
  for (std::size_t g = 0; g < n; ++g) {
    if (std::isnan(x[g]) || std::isnan(y[g])) continue;
    const double dev = x[g] - y[g];
    sum += dev * dev;
    ++count;
  }
  if (count == 0) return std::nullopt;
  if (count != n) sum /= static_cast<double>(count) / static_cast<double>(n);
  return std::sqrt(sum);
}

std::vector<double> centred(const std::vector<double>& x) {
  long double sum = 0.0L;
  std::size_t count = 0;
  for (const double v : x) {
    if (std::isnan(v)) continue;
    sum += v;
    ++count;
  }
  const double mean = count == 0 ? 0.0 : static_cast<double>(sum / static_cast<long double>(count));
  std::vector<double> out(x.size());
  for (std::size_t g = 0; g < x.size(); ++g) out[g] = x[g] - mean;
  return out;
}

struct Correlation {
  std::size_t shared = 0;
  long double xx = 0.0L, yy = 0.0L, xy = 0.0L;
};

// The sums of R's cor() over the complete pairs of x and y.
Correlation correlation_sums(const std::vector<double>& x, const std::vector<double>& y) {
  Correlation c;
  long double xmean = 0.0L, ymean = 0.0L;
  for (std::size_t g = 0; g < x.size(); ++g) {
    if (std::isnan(x[g]) || std::isnan(y[g])) continue;
    ++c.shared;
    xmean += x[g];
    ymean += y[g];
  }
  if (c.shared < 2) return c;
  xmean /= static_cast<long double>(c.shared);
  ymean /= static_cast<long double>(c.shared);
  for (std::size_t g = 0; g < x.size(); ++g) {
    if (std::isnan(x[g]) || std::isnan(y[g])) continue;
    const long double dx = x[g] - xmean;
    const long double dy = y[g] - ymean;
    c.xy += dx * dy;
    c.xx += dx * dx;
    c.yy += dy * dy;
  }
  return c;
}

}  // namespace

std::optional<Measure> measure_named(std::string_view name) {
  if (name == "euclidean") return Measure::Euclidean;
  if (name == "centred" || name == "centered") return Measure::Centred;
  if (name == "correlation") return Measure::Correlation;
  return std::nullopt;
}

std::string_view measure_name(Measure measure) {
  switch (measure) {
    case Measure::Euclidean:
      return "euclidean";
    case Measure::Centred:
      return "centred";
    case Measure::Correlation:
      return "correlation";
  }
  return "";
}

std::variant<std::vector<double>, PairFault> trial_proximities(const TrialTable& values,
                                                               Measure measure) {
  const std::size_t n = values.size();
  TrialTable centred_values;
  const TrialTable& table = measure == Measure::Centred ? centred_values : values;
  if (measure == Measure::Centred) {
    for (const std::vector<double>& row : values) centred_values.push_back(centred(row));
  }
  std::vector<double> out(static_cast<std::size_t>(records::packed_size(static_cast<std::int64_t>(n))));
  for (std::size_t b = 1; b < n; ++b) {
    for (std::size_t a = 0; a < b; ++a) {
      double value = 0.0;
      if (measure == Measure::Correlation) {
        const Correlation c = correlation_sums(table[a], table[b]);
        if (c.shared < 2) {
          return PairFault{a, b,
                           c.shared == 0 ? PairFault::Kind::NothingShared : PairFault::Kind::OneShared, 0};
        }
        if (c.xx == 0.0L || c.yy == 0.0L) {
          return PairFault{a, b, PairFault::Kind::NoVariation, c.xx == 0.0L ? a : b};
        }
        const long double n1 = static_cast<long double>(c.shared - 1);
        long double r = (c.xy / n1) / (std::sqrt(c.xx / n1) * std::sqrt(c.yy / n1));
        if (r > 1.0L) r = 1.0L;
        if (r < -1.0L) r = -1.0L;
        value = 1.0 - static_cast<double>(r);
      } else {
        const std::optional<double> d = euclidean(table[a], table[b]);
        if (!d) return PairFault{a, b, PairFault::Kind::NothingShared, 0};
        value = *d;
      }
      const auto at = static_cast<std::size_t>(
          records::packed_index(static_cast<std::int64_t>(a + 1), static_cast<std::int64_t>(b + 1)));
      out[at] = value;
    }
  }
  return out;
}

}  // namespace metclust::import
