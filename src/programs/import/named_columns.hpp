// A CSV whose first row names its columns, as the pair and trial sources are
// written: the columns a source needs are found by name (case and blanks
// around a name do not matter), in any order; other columns are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/csv.hpp"

namespace metclust::import {

class NamedColumns {
 public:
  // Reads the CSV and finds the named columns. A first row that names none
  // of them is a missing header row; one that lacks some of them, or names
  // one twice, is refused at its line.
  NamedColumns(std::string_view bytes, std::string file, std::span<const std::string_view> names);

  const std::string& file() const { return file_; }
  // The data rows, after the header row.
  std::size_t rows() const { return rows_.empty() ? 0 : rows_.size() - 1; }
  // Field `column` (the place of its name in `names`) of data row `row`.
  // Every row has as many fields as the header row.
  const text::CsvField& field(std::size_t row, std::size_t column) const;
  const text::CsvRow& row(std::size_t row) const { return rows_.at(row + 1); }
  std::int64_t header_line() const { return rows_.front().line; }

 private:
  std::string file_;
  std::vector<text::CsvRow> rows_;
  std::vector<std::size_t> index_;  // for each name, its place in a row
  std::size_t header_fields_ = 0;
};

}  // namespace metclust::import
