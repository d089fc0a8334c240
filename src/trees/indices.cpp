#include "trees/indices.hpp"

#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

namespace metclust::trees {
namespace {

std::int64_t pairs_of(std::int64_t count) { return count * (count - 1) / 2; }

}  // namespace

std::optional<double> adjusted_rand(std::span<const std::int32_t> first,
                                    std::span<const std::int32_t> second) {
  if (first.size() != second.size()) {
    throw std::logic_error("adjusted Rand index of partitions of different sizes");
  }
  const auto items = static_cast<std::int64_t>(first.size());
  if (items < 2) return std::nullopt;
  std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> table;
  std::map<std::int32_t, std::int64_t> rows;
  std::map<std::int32_t, std::int64_t> columns;
  for (std::size_t k = 0; k < first.size(); ++k) {
    ++table[{first[k], second[k]}];
    ++rows[first[k]];
    ++columns[second[k]];
  }
  // Counts of pairs stay exact in 64-bit integers up to some three billion
  // items; the ratio is taken in doubles only at the end.
  std::int64_t index = 0;
  for (const auto& cell : table) index += pairs_of(cell.second);
  std::int64_t row_pairs = 0;
  for (const auto& row : rows) row_pairs += pairs_of(row.second);
  std::int64_t column_pairs = 0;
  for (const auto& column : columns) column_pairs += pairs_of(column.second);
  const std::int64_t total = pairs_of(items);
  if ((row_pairs == 0 && column_pairs == 0) || (row_pairs == total && column_pairs == total)) {
    return 1.0;
  }
  const double expected =
      static_cast<double>(row_pairs) * static_cast<double>(column_pairs) / static_cast<double>(total);
  const double maximum = 0.5 * (static_cast<double>(row_pairs) + static_cast<double>(column_pairs));
  return (static_cast<double>(index) - expected) / (maximum - expected);
}

std::optional<double> pearson(std::span<const double> first, std::span<const double> second) {
  if (first.size() != second.size()) {
    throw std::logic_error("correlation of series of different lengths");
  }
  const std::size_t n = first.size();
  if (n < 2) return std::nullopt;
  double mean_first = 0.0;
  double mean_second = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    mean_first += first[k];
    mean_second += second[k];
  }
  mean_first /= static_cast<double>(n);
  mean_second /= static_cast<double>(n);
  double products = 0.0;
  double squares_first = 0.0;
  double squares_second = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const double a = first[k] - mean_first;
    const double b = second[k] - mean_second;
    products += a * b;
    squares_first += a * a;
    squares_second += b * b;
  }
  if (squares_first == 0.0 || squares_second == 0.0) return std::nullopt;
  const double r = products / std::sqrt(squares_first * squares_second);
  if (!std::isfinite(r)) return std::nullopt;
  // Rounding can carry a perfect correlation a hair past 1.
  return std::fmax(-1.0, std::fmin(1.0, r));
}

}  // namespace metclust::trees
