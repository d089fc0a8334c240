// Which row holds the known minimum of each column, and for each row the
// list of the columns whose minimum it holds, so that a fusion finds the
// columns that lose their minimum with rows I and J without a scan. Columns
// and rows are indices 1..n; 0 stands for none and ends a list.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace metclust::cluster {

class RowLists {
 public:
  explicit RowLists(std::int32_t n)
      : row_(slots(n), 0), first_(slots(n), 0), next_(slots(n), 0), prev_(slots(n), 0) {}

  // No column's minimum held by any row.
  void clear() {
    std::fill(row_.begin(), row_.end(), 0);
    std::fill(first_.begin(), first_.end(), 0);
  }

  std::int32_t row(std::int32_t K) const { return row_[ix(K)]; }

  // Column K's minimum is now held by `row` (0: by none).
  void assign(std::int32_t K, std::int32_t row) {
    if (row_[ix(K)] == row) return;
    unlink(K);
    if (row != 0) {
      const std::int32_t after = first_[ix(row)];
      next_[ix(K)] = after;
      prev_[ix(K)] = 0;
      if (after != 0) prev_[ix(after)] = K;
      first_[ix(row)] = K;
    }
    row_[ix(K)] = row;
  }

  // The columns whose minimum `row` holds: first(row), then next() of each.
  std::int32_t first(std::int32_t row) const { return first_[ix(row)]; }
  std::int32_t next(std::int32_t K) const { return next_[ix(K)]; }

 private:
  static std::size_t slots(std::int32_t n) { return static_cast<std::size_t>(n < 0 ? 0 : n) + 1; }
  static std::size_t ix(std::int32_t k) { return static_cast<std::size_t>(k); }

  // Takes column K out of the list of the row holding its minimum.
  void unlink(std::int32_t K) {
    const std::int32_t row = row_[ix(K)];
    if (row == 0) return;
    const std::int32_t before = prev_[ix(K)];
    const std::int32_t after = next_[ix(K)];
    (before != 0 ? next_[ix(before)] : first_[ix(row)]) = after;
    if (after != 0) prev_[ix(after)] = before;
    row_[ix(K)] = 0;
  }

  std::vector<std::int32_t> row_;    // by column: the row holding its minimum
  std::vector<std::int32_t> first_;  // by row: the first column of its list
  std::vector<std::int32_t> next_, prev_;  // by column: its neighbours in the list
};

}  // namespace metclust::cluster
