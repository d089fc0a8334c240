// A CSV whose first row names its columns, as the pair and trial sources are
// written: the columns a source needs are found by name (case and blanks
// around a name do not matter), in any order; other columns are ignored.
//
// A column is found under its own name, else under one of the other names
// breeders give it (site, environment, env, loc or trial for location, say),
// or under the name the command line gives it (--location-column NAME),
// which is then the only name taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "import/source_text.hpp"
#include "text/csv.hpp"

namespace metclust::import {

struct NeededColumn {
  std::string_view name;                     // its own name: "location"
  std::span<const std::string_view> others;  // other names it goes by, in lower case
  std::string_view option;                   // the option that names it, "" for none
  std::optional<std::string> given;          // the name that option gave
};

// The names the command line gives the columns of a source
// (--year-column NAME, ...); nullopt where it gives none.
struct ColumnNames {
  std::optional<std::string> year;
  std::optional<std::string> location;
  std::optional<std::string> genotype;
  std::optional<std::string> value;
};

// The column that names a year: year, or season.
NeededColumn year_column(std::optional<std::string> given);

class NamedColumns {
 public:
  // Finds the needed columns in the header row of `source`. A first row that
  // names none of them and holds a number is a missing header row; one that
  // lacks some of them is refused at its line, naming every one it lacks;
  // one that names a column twice, or two columns that could each be the
  // same needed one, is refused at the second. Each column taken under
  // another name is told to `source` for its description.
  NamedColumns(SourceText& source, std::span<const NeededColumn> columns);

  const std::string& file() const { return source_.file(); }
  // The data rows, after the header row.
  std::size_t rows() const { return rows_.empty() ? 0 : rows_.size() - 1; }
  // Field `column` (the place of its name in `columns`) of data row `row`.
  // Every row has as many fields as the header row.
  const text::CsvField& field(std::size_t row, std::size_t column) const;
  const text::CsvRow& row(std::size_t row) const { return rows_.at(row + 1); }
  std::int64_t header_line() const { return rows_.front().line; }

 private:
  SourceText& source_;
  const std::vector<text::CsvRow>& rows_;
  std::vector<std::size_t> index_;  // for each needed column, its place in a row
  std::size_t header_fields_ = 0;
};

}  // namespace metclust::import
