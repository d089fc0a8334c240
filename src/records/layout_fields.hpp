// Where each value of a fixed-column read stands: a layout walked the way
// RecordReader walks it, for a given number of values, giving the record
// (counted from the statement's first) and the columns of each field, so that
// a program can look at the text of a field that the reader took.
#pragma once

#include <cstdint>
#include <vector>

#include "records/layout.hpp"

namespace metclust::records {

struct FieldColumns {
  std::int64_t record = 0;  // 0 for the statement's first record
  std::int64_t column = 0;  // first column, 1-based
  std::int64_t width = 0;
  int digits = 0;           // d of Ew.d and Fw.d
};

// The fields of `count` values; an A item without width takes `text_width`
// columns. Empty when the layout has no field item.
std::vector<FieldColumns> field_columns(const Layout& layout, std::int64_t count,
                                        std::int64_t text_width = 0);

}  // namespace metclust::records
