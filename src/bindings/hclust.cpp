#include "bindings/hclust.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "cluster/agglom.hpp"
#include "cluster/fusion_sink.hpp"
#include "records/packed.hpp"
#include "records/number_text.hpp"

namespace metclust::bindings {
namespace {

using records::decimal;

struct Collect : cluster::FusionSink {
  std::vector<trees::Fusion> fusions;
  void fusion(std::int32_t label_i, std::int32_t label_j, std::int32_t, double dmin) override {
    fusions.push_back({label_i, label_j, dmin});
  }
};

// A location number as the caller counts, from the engine's 1-based one.
std::string location(std::int64_t k, Numbering numbering) {
  return decimal(numbering == Numbering::FromZero ? k - 1 : k);
}

std::string number_text(double value) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

void require_finite(double value, std::int64_t i, std::int64_t j, Numbering numbering) {
  if (!std::isfinite(value)) {
    throw std::invalid_argument("the proximity of locations " + location(i, numbering) + " and " +
                                location(j, numbering) + " is " +
                                (std::isnan(value) ? "NaN or missing" : "infinite"));
  }
}

// Locations beyond this many would overflow the engine's 4-byte group labels.
constexpr std::int64_t kMostLocations = std::numeric_limits<std::int32_t>::max() / 2;

void require_locations(std::int64_t n) {
  if (n < 2) throw std::invalid_argument("at least two locations are needed, not " + decimal(n));
  if (n > kMostLocations) {
    throw std::invalid_argument(decimal(n) + " locations are more than the engine numbers (" +
                                decimal(kMostLocations) + ")");
  }
}

}  // namespace

std::int64_t locations_of_pairs(std::int64_t pairs) {
  // Beyond 2^60 pairs (8 EiB of proximities) no matrix fits in memory; up
  // to there n stays below 1.6e9 and n (n - 1) within 64 bits.
  if (pairs < 0 || pairs > (std::int64_t{1} << 60)) return -1;
  const auto estimate =
      static_cast<std::int64_t>(std::sqrt(2.0L * static_cast<long double>(pairs)));
  for (std::int64_t n = std::max<std::int64_t>(estimate - 1, 0); n <= estimate + 2; ++n) {
    if (n * (n - 1) / 2 == pairs) return n == 0 ? 1 : n;
  }
  return -1;
}

std::vector<double> packed_from_pairs(std::span<const double> pairs, Numbering numbering) {
  const auto count = static_cast<std::int64_t>(pairs.size());
  const std::int64_t n = locations_of_pairs(count);
  if (n < 0) {
    throw std::invalid_argument(decimal(count) +
                                " proximities are no number of pairs n (n - 1) / 2 of n locations");
  }
  require_locations(n);
  std::vector<double> packed(static_cast<std::size_t>(records::packed_size(n)));
  std::size_t k = 0;
  for (std::int64_t i = 1; i < n; ++i) {
    for (std::int64_t j = i + 1; j <= n; ++j, ++k) {
      require_finite(pairs[k], i, j, numbering);
      packed[static_cast<std::size_t>(records::packed_index(i, j))] = pairs[k];
    }
  }
  return packed;
}

std::vector<double> packed_from_square(std::span<const double> square, std::int64_t n,
                                       bool zero_diagonal, Numbering numbering) {
  if (n < 0 || n > kMostLocations ||
      static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n) != square.size()) {
    throw std::invalid_argument("a square matrix of " + decimal(n) + " rows needs " +
                                decimal(n) + " x " + decimal(n) + " values");
  }
  require_locations(n);
  const auto at = [&](std::int64_t row, std::int64_t column) {
    return square[static_cast<std::size_t>((row - 1) * n + (column - 1))];
  };
  const auto entry = [&](std::int64_t row, std::int64_t column) {
    return "[" + location(row, numbering) + ", " + location(column, numbering) + "]";
  };
  std::vector<double> packed(static_cast<std::size_t>(records::packed_size(n)));
  for (std::int64_t j = 1; j <= n; ++j) {
    if (zero_diagonal && at(j, j) != 0.0) {
      throw std::invalid_argument("the diagonal must be 0: " + entry(j, j) + " is " +
                                  number_text(at(j, j)));
    }
    for (std::int64_t i = 1; i < j; ++i) {
      const double value = at(i, j);
      require_finite(value, i, j, numbering);
      if (at(j, i) != value) {
        throw std::invalid_argument("the matrix is not symmetric: " + entry(i, j) + " is " +
                                    number_text(value) + ", " + entry(j, i) + " is " +
                                    number_text(at(j, i)));
      }
      packed[static_cast<std::size_t>(records::packed_index(i, j))] = value;
    }
  }
  return packed;
}

trees::Tree cluster_packed(std::vector<double> packed, std::int32_t n, std::int32_t strategy) {
  if (strategy < 1 || strategy > 8) {
    throw std::invalid_argument("the strategy must be a number from 1 to 8, not " +
                                decimal(strategy));
  }
  if (n < 0 || static_cast<std::int64_t>(packed.size()) != records::packed_size(n)) {
    throw std::invalid_argument("the packed matrix does not hold " + decimal(n) + " locations");
  }
  Collect sink;
  if (n >= 2) {
    sink.fusions.reserve(static_cast<std::size_t>(n) - 1);
    std::vector<std::int32_t> sizes(static_cast<std::size_t>(n));
    std::vector<std::int32_t> labels(static_cast<std::size_t>(n));
    std::vector<std::int32_t> history(2 * (static_cast<std::size_t>(n) - 1));
    // Flexibility 0 for strategies 6 and 7, as every run of the program.
    if (!cluster::AGGLOM(packed, sizes, labels, history, n, 0.0, strategy, sink)) {
      throw std::domain_error(
          "fusion " + decimal(static_cast<std::int64_t>(sink.fusions.size()) + 1) +
          " finds no pair of groups at a proximity of 1e20 or less, the largest the engine joins");
    }
  }
  return trees::Tree(n, std::move(sink.fusions));
}

Hclust stats_hclust(const trees::Tree& tree) {
  const std::int32_t n = tree.locations();
  Hclust out;
  const std::size_t rows = tree.fusions().size();
  out.merge1.reserve(rows);
  out.merge2.reserve(rows);
  out.height.reserve(rows);
  // The rows as metclust-export writes them, in hclust's own order within
  // each row.
  for (const trees::MergeRow& row : trees::hclust_merge(tree)) {
    out.merge1.push_back(row.merge1);
    out.merge2.push_back(row.merge2);
    out.height.push_back(row.height);
  }
  out.order.reserve(static_cast<std::size_t>(std::max(n, 0)));
  if (n == 1) out.order.push_back(1);
  // Expanded from the last row down, the first entry of a row left of the
  // second; an explicit stack keeps a chain of fusions off the call stack.
  std::vector<std::int32_t> pending;
  if (rows > 0) pending.push_back(static_cast<std::int32_t>(rows));
  while (!pending.empty()) {
    const std::int32_t item = pending.back();
    pending.pop_back();
    if (item < 0) {
      out.order.push_back(-item);
      continue;
    }
    const auto row = static_cast<std::size_t>(item) - 1;
    pending.push_back(out.merge2[row]);
    pending.push_back(out.merge1[row]);
  }
  return out;
}

std::vector<double> scipy_linkage_matrix(const trees::Tree& tree) {
  std::vector<double> rows;
  rows.reserve(4 * tree.fusions().size());
  for (const trees::LinkageRow& row : trees::scipy_linkage(tree)) {
    rows.push_back(static_cast<double>(row.cluster1));
    rows.push_back(static_cast<double>(row.cluster2));
    rows.push_back(row.height);
    rows.push_back(static_cast<double>(row.size));
  }
  return rows;
}

}  // namespace metclust::bindings
