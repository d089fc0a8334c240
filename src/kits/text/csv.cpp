#include "text/csv.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::text {

namespace {

// The digits at `at` onwards; how many.
std::size_t digits_at(std::string_view text, std::size_t at) {
  std::size_t n = 0;
  while (at + n < text.size() && text[at + n] >= '0' && text[at + n] <= '9') ++n;
  return n;
}

// [+-] digits [. digits] [(e|E) [+-] digits], with a digit before or after
// the point.
bool plain_number(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissa = digits_at(text, at);
  at += mantissa;
  if (at < text.size() && text[at] == '.') {
    const std::size_t decimals = digits_at(text, at + 1);
    mantissa += decimals;
    at += 1 + decimals;
  }
  if (mantissa == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const std::size_t exponent = digits_at(text, at);
    if (exponent == 0) return false;
    at += exponent;
  }
  return at == text.size();
}

[[noreturn]] void field_too_long(const std::string& file, const CsvField& field) {
  throw records::LocatedError(file, field.line, field.column,
                              "a field longer than " + records::decimal(static_cast<std::int64_t>(kLongestCsvField)) +
                                  " bytes (64 KiB), the longest read: no name or number is that long");
}

}  // namespace

bool starts_formula(std::string_view field) {
  const std::size_t first = field.find_first_not_of('\'');
  if (first == std::string_view::npos) return false;
  switch (field[first]) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
      return first > 0 || !plain_number(field);
    default:
      return false;
  }
}

std::string_view unguarded(std::string_view field) {
  return field.starts_with('\'') && starts_formula(field) ? field.substr(1) : field;
}

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
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    throw records::LocatedError(file, 1, 1,
                                "the file is UTF-16 text (it starts with a UTF-16 byte-order mark); "
                                "save it as CSV in UTF-8");
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
    const std::string_view before = bytes.substr(0, nul);
    const std::size_t line_start = before.rfind('\n');
    throw records::LocatedError(
        file, static_cast<std::int64_t>(std::count(before.begin(), before.end(), '\n')) + 1,
        static_cast<std::int64_t>(line_start == std::string_view::npos ? nul : nul - line_start - 1) + 1,
        "a NUL byte, which no CSV text holds (UTF-16 text has one in every other byte); save the "
        "file as CSV in UTF-8");
  }
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
          if (field.text.size() >= kLongestCsvField) field_too_long(file, field);
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
          if (field.text.size() >= kLongestCsvField) field_too_long(file, field);
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
  const std::string_view guard = starts_formula(field) ? "'" : "";
  // A byte-order mark at the very start would be taken for the file's own.
  const bool mark_first = bytes_.empty() && field.starts_with("\xEF\xBB\xBF");
  if (!mark_first && field.find_first_of(",\"\r\n") == std::string_view::npos) {
    bytes_ += guard;
    bytes_ += field;
    return *this;
  }
  bytes_ += '"';
  bytes_ += guard;
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
