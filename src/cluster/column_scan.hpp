// The minimum of one column of the packed matrix (the pairs (i,K), i < K)
// and the row holding it, as the full scan of FNDMIN with its <= rule would
// take it: the smallest value at or below kCeiling, ties going to the largest
// row, a value that is not a number never taken. The fast pair search scans
// every column so when a year starts, and again the columns whose minimum a
// fusion took away once they come out on top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace metclust::cluster {

// The minimum of a column without a pair that can be taken: above every
// value that can.
inline constexpr double kEmpty = std::numeric_limits<double>::infinity();

// Row 0, and kEmpty, when no value can be taken.
struct ColumnMinimum {
  std::int32_t row;
  double min;
};

// Over rows 1..count, every one of them: column[i - 1] is the value at row i.
ColumnMinimum dense_minimum(const double* column, std::int32_t count);

// Over the rows rows[0..count), ascending.
ColumnMinimum listed_minimum(const double* column, const std::int32_t* rows, std::size_t count);

}  // namespace metclust::cluster
