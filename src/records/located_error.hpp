// A fault in a file that a companion program reads or writes, located as
// precisely as the reader knows: file, record (line) and column.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "records/number_text.hpp"

namespace metclust::records {

class LocatedError : public std::runtime_error {
 public:
  // `line` and `column` are 1-based; 0 when the fault concerns the whole
  // file, or the whole record.
  // `report` is the number of the report metclust's own run makes for the
  // same fault (0 when there is none), so that a checker can say how a run
  // would end.
  LocatedError(std::string file, std::int64_t line, std::int64_t column, const std::string& what,
               int report = 0)
      : std::runtime_error(what), file_(std::move(file)), line_(line), column_(column),
        report_(report) {}

  const std::string& file() const { return file_; }
  std::int64_t line() const { return line_; }
  std::int64_t column() const { return column_; }
  int report() const { return report_; }

  // "FILE:LINE:COL: what", leaving out the parts that are 0.
  std::string message() const {
    std::string text = file_;
    if (line_ > 0) append(text, line_);
    if (line_ > 0 && column_ > 0) append(text, column_);
    text += ": ";
    text += what();
    return text;
  }

 private:
  static void append(std::string& text, std::int64_t number) {
    text += ':';
    text += decimal(number);
  }

  std::string file_;
  std::int64_t line_;
  std::int64_t column_;
  int report_;
};

}  // namespace metclust::records
