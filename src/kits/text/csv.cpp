#include "text/csv.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::text {

std::string_view separator_word(char separator) {
  switch (separator) {
    case ',':
      return "comma";
    case ';':
      return "semicolon";
    case '\t':
      return "tab";
  }
  throw std::logic_error("a CSV separator other than a comma, a semicolon or a tab");
}

std::vector<CsvRow> read_csv(std::string_view bytes, const std::string& file, char separator) {
  const std::string_view word = separator_word(separator);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::vector<CsvRow> rows;
  std::size_t at = 0;
  std::int64_t line = 1;
  std::size_t line_start = 0;  // offset of the current line's first byte
  auto column_of = [&](std::size_t offset) {
    return static_cast<std::int64_t>(offset - line_start) + 1;
  };
  while (at < bytes.size()) {
    CsvRow row;
    row.line = line;
    bool row_done = false;
    bool first_quoted = false;
    while (!row_done) {
      CsvField field;
      field.line = line;
      field.column = column_of(at);
      if (at < bytes.size() && bytes[at] == '"') {
        if (row.fields.empty()) first_quoted = true;
        ++at;
        for (;;) {
          if (at >= bytes.size()) {
            throw records::LocatedError(file, field.line, field.column,
                                        "quoted field is never closed");
          }
          const char c = bytes[at];
          if (c == '"') {
            if (at + 1 < bytes.size() && bytes[at + 1] == '"') {
              field.text += '"';
              at += 2;
              continue;
            }
            ++at;
            break;
          }
          if (c == '\n') {
            ++line;
            line_start = at + 1;
          }
          field.text += c;
          ++at;
        }
        const bool ends = at >= bytes.size() || bytes[at] == separator || bytes[at] == '\n' ||
                          (bytes[at] == '\r' && (at + 1 >= bytes.size() || bytes[at + 1] == '\n'));
        if (!ends) {
          throw records::LocatedError(file, line, column_of(at),
                                      "expected a " + std::string(word) +
                                          " or the end of the line after a closing quote");
        }
      } else {
        while (at < bytes.size() && bytes[at] != separator && bytes[at] != '\n') {
          if (bytes[at] == '\r' && (at + 1 >= bytes.size() || bytes[at + 1] == '\n')) break;
          field.text += bytes[at];
          ++at;
        }
      }
      row.fields.push_back(std::move(field));
      if (at < bytes.size() && bytes[at] == separator) {
        ++at;
        continue;
      }
      if (at < bytes.size() && bytes[at] == '\r') ++at;
      if (at < bytes.size() && bytes[at] == '\n') {
        ++at;
        ++line;
        line_start = at;
      }
      row_done = true;
    }
    const bool empty_line = row.fields.size() == 1 && row.fields[0].text.empty() && !first_quoted;
    if (!empty_line) rows.push_back(std::move(row));
  }
  return rows;
}

void CsvWriter::separate() {
  if (row_open_) bytes_ += ',';
  row_open_ = true;
  ++fields_;
  row_empty_ = true;
}

CsvWriter& CsvWriter::text(std::string_view field) {
  separate();
  row_empty_ = field.empty();
  // A byte-order mark at the very start would be taken for the file's own.
  const bool mark_first = bytes_.empty() && field.starts_with("\xEF\xBB\xBF");
  if (!mark_first && field.find_first_of(",\"\r\n") == std::string_view::npos) {
    bytes_ += field;
    return *this;
  }
  bytes_ += '"';
  for (const char c : field) {
    if (c == '"') bytes_ += '"';
    bytes_ += c;
  }
  bytes_ += '"';
  return *this;
}

CsvWriter& CsvWriter::number(double value) {
  separate();
  row_empty_ = false;
  bytes_ += records::shortest_text(value);
  return *this;
}

CsvWriter& CsvWriter::integer(std::int64_t value) {
  separate();
  row_empty_ = false;
  bytes_ += records::decimal(value);
  return *this;
}

CsvWriter& CsvWriter::empty() {
  separate();
  return *this;
}

void CsvWriter::end_row() {
  // A row of one empty field would be an empty line, which readers skip.
  if (fields_ == 1 && row_empty_) bytes_ += "\"\"";
  bytes_ += "\r\n";
  row_open_ = false;
  fields_ = 0;
}

}  // namespace metclust::text
