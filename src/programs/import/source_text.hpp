// One source CSV file as metclust-import reads it: how its fields are
// separated, its rows, and the decimal mark of its numbers.
//
// A file is comma, semicolon or tab separated. Unless the command line says
// which (--separator), the header row tells: of the three, the one it holds
// most often outside quotes separates the fields; a header row that holds
// two of them equally often cannot tell and is refused with the advice to
// say it. A header row without any of them is taken as one comma separated
// field, so that what is missing is said as for any comma separated file.
//
// Numbers are written with a decimal point. In a semicolon separated file,
// as a spreadsheet in much of Europe or R's write.csv2 writes it, they may
// be written with a decimal comma instead; the first number written with a
// decimal mark sets the mark of the whole file, and a number written with
// the other one is refused, so that a grouping of thousands (1.234) is never
// read as a decimal mark.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/source_year.hpp"
#include "text/csv.hpp"

namespace metclust::import {

enum class Separator : char { Comma = ',', Semicolon = ';', Tab = '\t' };

// The separator --separator names: "comma", "semicolon" or "tab".
std::optional<Separator> separator_named(std::string_view name);

// The separator of a CSV text, from its header row: the first record that
// is not an empty line. Throws records::LocatedError at that row when it
// cannot tell.
Separator separator_of(std::string_view bytes, const std::string& file);

class SourceText {
 public:
  // Reads the rows of `bytes`, separated as `separator` says, or as the
  // header row shows when it is nullopt.
  SourceText(std::string_view bytes, std::string file, std::optional<Separator> separator);

  const std::string& file() const { return file_; }
  const std::vector<text::CsvRow>& rows() const { return rows_; }
  Separator separator() const { return separator_; }

  // The number a field's text (blanks around it removed) gives, nullopt when
  // it gives none; the caller says what was expected. A number written with
  // a decimal mark other than the file's is refused here, at the field,
  // with `expected` (such as "a proximity") in the message.
  std::optional<double> number(const text::CsvField& field, std::string_view text,
                               std::string_view expected);
  // Whether the text reads as a number in this file, whatever its decimal
  // mark; nothing is recorded.
  bool reads_as_number(std::string_view text) const;

  // A column of the header row taken for one a source needs under another
  // name ("site" for "location"), for the description.
  void take_column(std::string_view needed, std::string_view found);

  // What the program tells of the file after the job is written, without the
  // file's name; empty for a comma separated file with a decimal point and
  // the columns under their own names.
  std::string description() const;

 private:
  std::string file_;
  Separator separator_;
  bool detected_;
  std::vector<text::CsvRow> rows_;
  char mark_ = 0;  // the decimal mark of the file's numbers; 0 until one is read
  Place mark_place_;
  std::vector<std::string> columns_;  // "location from column site", ...
};

}  // namespace metclust::import
