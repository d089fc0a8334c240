#include "cluster/column_scan.hpp"

#include <algorithm>

#include "cluster/search_ceiling.hpp"
#include "cluster/two_lane.hpp"

namespace metclust::cluster {

// Two passes over the values side by side: the first takes the smallest
// value, eight at a time in four running minima; the second goes back from
// the last row, eight at a time, to the first value at most that minimum,
// the value the full scan with its <= rule ends on, and reads it there, so
// that a zero keeps its sign. Both passes take the last eight values whether
// or not they overlap others: a value met twice changes no minimum.
ColumnMinimum dense_minimum(const double* column, std::int32_t count) {
  double m = kCeiling;
  std::int32_t end = count;  // the values at rows 1..end are still to search
  if (count >= 8) {
    TwoReals floor[4] = {splat(kCeiling), splat(kCeiling), splat(kCeiling), splat(kCeiling)};
    for (std::int32_t i = 0; i + 8 <= count; i += 8) {
      for (int lane = 0; lane < 4; ++lane) {
        floor[lane] = lower(load_two(column + i + 2 * lane), floor[lane]);
      }
    }
    for (int lane = 0; lane < 4; ++lane) {
      floor[lane] = lower(load_two(column + count - 8 + 2 * lane), floor[lane]);
    }
    m = lowest(lower(lower(floor[0], floor[1]), lower(floor[2], floor[3])));
    const TwoReals level = splat(m);
    for (std::int32_t at = count - 8;; at = std::max(at - 8, 0)) {
      const TwoWords hit =
          (load_two(column + at) <= level) | (load_two(column + at + 2) <= level) |
          (load_two(column + at + 4) <= level) | (load_two(column + at + 6) <= level);
      if (any_lane(hit)) {
        end = at + 8;
        break;
      }
      if (at == 0) {
        end = 0;
        break;
      }
    }
  } else {
    for (std::int32_t i = 0; i < count; ++i) m = lower(column[i], m);
  }
  for (std::int32_t row = end; row > 0; --row) {
    if (column[row - 1] <= m) return {row, column[row - 1]};
  }
  return {0, kEmpty};
}

// Two passes as well, the rows read through the list: the smallest value,
// four rows at a time in two running minima, then back from the last row to
// the first value at most it.
ColumnMinimum listed_minimum(const double* column, const std::int32_t* rows, std::size_t count) {
  TwoReals floor_a = splat(kCeiling);
  TwoReals floor_b = splat(kCeiling);
  std::size_t p = 0;
  for (; p + 4 <= count; p += 4) {
    floor_a = lower(TwoReals{column[rows[p] - 1], column[rows[p + 1] - 1]}, floor_a);
    floor_b = lower(TwoReals{column[rows[p + 2] - 1], column[rows[p + 3] - 1]}, floor_b);
  }
  double m = lowest(lower(floor_a, floor_b));
  for (; p < count; ++p) m = lower(column[rows[p] - 1], m);
  for (p = count; p > 0; --p) {
    const double d = column[rows[p - 1] - 1];
    if (d <= m) return {rows[p - 1], d};
  }
  return {0, kEmpty};
}

}  // namespace metclust::cluster
