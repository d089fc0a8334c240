// CSV as RFC 4180 writes it, and as people write it: fields separated by
// commas (or, as spreadsheets in much of Europe and R's write.csv2 write
// them, semicolons, or tabs), quoted with double quotes when they hold the
// separator, a quote or a line end (a quote inside doubled), records ending
// in CR LF or LF, UTF-8 with or without a byte-order mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace metclust::text {

struct CsvField {
  std::string text;          // unquoted
  std::int64_t line = 0;     // where the field starts, 1-based
  std::int64_t column = 0;   // in bytes, 1-based
};

struct CsvRow {
  std::vector<CsvField> fields;
  std::int64_t line = 0;
};

// The longest field read: no name or number comes near it, and a field
// longer than this is a file that is no CSV, or a hostile one.
inline constexpr std::size_t kLongestCsvField = 64 * 1024;

// All records of a CSV text whose fields are separated by `separator` (',',
// ';' or '\t'). A record with no bytes at all (an empty line) is left out. A
// quote that is never closed, a byte other than the separator or a line end
// after a closing quote, a field longer than kLongestCsvField, a NUL byte, or
// a UTF-16 byte-order mark at the start is a records::LocatedError naming
// `file`.
std::vector<CsvRow> read_csv(std::string_view bytes, const std::string& file, char separator = ',');

// How a message names a separator: "comma", "semicolon", "tab".
std::string_view separator_word(char separator);

// True when a spreadsheet would take a text field for a formula: it starts
// with =, +, -, @, a tab or a carriage return, after any apostrophes, and is
// not a plain decimal number ("-3" and "+1.5E-2" show as the numbers they
// are).
bool starts_formula(std::string_view field);

// A field as it was given to CsvWriter::text, from the field a CSV reader
// gives back: without the apostrophe that CsvWriter put in front of a
// formula.
std::string_view unguarded(std::string_view field);

// Writes CSV records, each ending in CR LF. Numbers in their shortest exact
// form; a text field is quoted only when it must be, and a row of one empty
// field as "" so that it is not taken for an empty line. A text field that
// starts a formula (starts_formula) gets an apostrophe in front, which
// spreadsheets show as text and R and Python read as part of the field: a
// location named =1+1 is written '=1+1, and one named '=1+1 is written
// ''=1+1, so that dropping the first apostrophe of a field that starts with
// apostrophes and then one of = + - @ tab CR always gives the name back.
class CsvWriter {
 public:
  CsvWriter& text(std::string_view field);
  CsvWriter& number(double value);
  CsvWriter& integer(std::int64_t value);
  CsvWriter& empty();
  void end_row();
  const std::string& bytes() const { return bytes_; }
  std::string take() { return std::move(bytes_); }

 private:
  void separate();
  std::string bytes_;
  bool row_open_ = false;
  std::int64_t fields_ = 0;  // in the open row
  bool row_empty_ = false;   // the open row's last field is empty
};

}  // namespace metclust::text
