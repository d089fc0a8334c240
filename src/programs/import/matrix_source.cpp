#include "import/matrix_source.hpp"

#include <optional>
#include <vector>

#include "formats/node_names.hpp"
#include "import/fields.hpp"
#include "import/location_limit.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/packed.hpp"
#include "text/csv.hpp"

namespace metclust::import {
namespace {

std::string number_text(std::size_t n) { return records::decimal(static_cast<std::int64_t>(n)); }

// A first row of numbers only, with one row fewer than a square matrix with
// a header row would have: the header row was left out.
bool header_row_left_out(const SourceText& source) {
  const std::vector<text::CsvRow>& rows = source.rows();
  const std::vector<text::CsvField>& first = rows.front().fields;
  if (first.size() < 2 || rows.size() + 1 != first.size()) return false;
  for (std::size_t k = 1; k < first.size(); ++k) {
    if (is_missing(first[k].text) || !source.reads_as_number(trimmed(first[k].text))) return false;
  }
  return true;
}

}  // namespace

SourceYear read_matrix_year(std::int64_t year, SourceText& source) {
  const std::string& file = source.file();
  const std::vector<text::CsvRow>& rows = source.rows();
  if (rows.empty()) throw records::LocatedError(file, 0, 0, "year " + records::decimal(year) + " has no location: the file holds no row");
  if (header_row_left_out(source)) {
    throw records::LocatedError(file, rows.front().line, 1,
                                "expected a header row naming the locations, found a row of numbers");
  }
  const text::CsvRow& header = rows.front();
  SourceYear out;
  out.year = year;
  out.file = file;
  out.place = {header.line, 1};
  const std::size_t n = header.fields.size() - 1;
  if (n == 0) {
    throw records::LocatedError(file, header.line, 1,
                                "year " + records::decimal(year) +
                                    " has no location: expected the location names from the "
                                    "second field of the header row on");
  }
  const std::int64_t most = formats::kMaxYearLocations;
  check_year_locations(year, static_cast<std::int64_t>(n), file,
                       static_cast<std::int64_t>(n) > most ? place_of(header.fields[static_cast<std::size_t>(most) + 1])
                                                           : Place{});
  for (std::size_t k = 1; k <= n; ++k) {
    const text::CsvField& field = header.fields[k];
    std::string name = location_field(file, field);
    for (const SourceLocation& earlier : out.locations) {
      if (earlier.name == name) {
        fail_at(file, field,
                "location " + quoted(name) + " is named twice in the header row (first in column " +
                    records::decimal(earlier.place.column) + ")");
      }
    }
    out.locations.push_back({std::move(name), place_of(field)});
  }

  // cells[r][c]: the value in the row of location r and the column of
  // location c, with where it stands.
  struct Cell {
    std::optional<double> value;
    const text::CsvField* field = nullptr;
  };
  std::vector<std::vector<Cell>> cells(n, std::vector<Cell>(n));
  const std::string separator(text::separator_word(static_cast<char>(source.separator())));
  for (std::size_t r = 0; r < n; ++r) {
    const std::string& name = out.locations[r].name;
    if (r + 1 >= rows.size()) {
      const std::int64_t after = rows.back().line + 1;
      throw records::LocatedError(file, after, 1,
                                  "expected the row of location " + quoted(name) +
                                      ", found the end of the file (the header row names " +
                                      number_text(n) + " locations)");
    }
    const text::CsvRow& row = rows[r + 1];
    if (row.fields.size() != n + 1) {
      throw records::LocatedError(file, row.line, 1,
                                  "expected " + number_text(n + 1) + " fields as in the header row, found " +
                                      number_text(row.fields.size()) +
                                      (row.fields.size() > n + 1 ? " (a field that holds a " + separator + " must be quoted)" : ""));
    }
    const std::string given = name_field(row.fields[0]);
    if (given != name) {
      fail_at(file, row.fields[0],
              "expected the row of location " + quoted(name) + " (rows in the order of the header row), found " +
                  quoted(given));
    }
    for (std::size_t c = 0; c < n; ++c) {
      const text::CsvField& field = row.fields[c + 1];
      if (c == r) {
        if (is_missing(field.text)) continue;
        if (proximity_value(source, field) != 0.0) {
          fail_at(file, field, "expected 0 on the diagonal, found " + quoted(trimmed(field.text)));
        }
        continue;
      }
      cells[r][c] = {optional_proximity(source, field), &field};
    }
  }
  if (rows.size() > n + 1) {
    throw records::LocatedError(file, rows[n + 1].line, 1,
                                "expected the end of the file after the rows of the " + number_text(n) +
                                    " locations of the header row");
  }

  out.proximities.assign(static_cast<std::size_t>(records::packed_size(static_cast<std::int64_t>(n))), 0.0);
  for (std::size_t j = 1; j < n; ++j) {
    for (std::size_t i = 0; i < j; ++i) {
      const Cell& upper = cells[i][j];  // row i, above the diagonal
      const Cell& lower = cells[j][i];  // row j, below it, read later
      const std::string pair = quoted(out.locations[i].name) + " and " + quoted(out.locations[j].name);
      if (!upper.value && !lower.value) {
        fail_at(file, *lower.field, "expected a proximity of " + pair + ", found none on either side of the diagonal");
      }
      if (upper.value && lower.value && *upper.value != *lower.value) {
        fail_at(file, *lower.field,
                "expected " + quoted(trimmed(upper.field->text)) + " as on line " +
                    records::decimal(upper.field->line) + ", column " +
                    records::decimal(upper.field->column) + " (the matrix must be symmetric), found " +
                    quoted(trimmed(lower.field->text)));
      }
      const auto at = static_cast<std::size_t>(
          records::packed_index(static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(j + 1)));
      out.proximities[at] = upper.value ? *upper.value : *lower.value;
    }
  }
  return out;
}

}  // namespace metclust::import
