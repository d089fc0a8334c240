#include "import/named_columns.hpp"

#include <algorithm>

#include "import/fields.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::import {
namespace {

std::string lower(std::string_view text) {
  std::string out(trimmed(text));
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string joined(std::span<const std::string_view> names) {
  std::string out;
  for (const std::string_view name : names) {
    if (!out.empty()) out += ',';
    out += name;
  }
  return out;
}

}  // namespace

NamedColumns::NamedColumns(std::string_view bytes, std::string file,
                           std::span<const std::string_view> names)
    : file_(std::move(file)), rows_(text::read_csv(bytes, file_)) {
  const std::string expected = "the header row " + joined(names);
  if (rows_.empty()) throw records::LocatedError(file_, 0, 0, "expected " + expected + ", found no row");
  const text::CsvRow& header = rows_.front();
  header_fields_ = header.fields.size();
  index_.assign(names.size(), header.fields.size());
  bool any = false;
  for (std::size_t k = 0; k < header.fields.size(); ++k) {
    const std::string name = lower(header.fields[k].text);
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) continue;
    const auto n = static_cast<std::size_t>(it - names.begin());
    if (index_[n] != header.fields.size()) {
      fail_at(file_, header.fields[k], "column " + std::string(names[n]) + " is named twice in the header row");
    }
    index_[n] = k;
    any = true;
  }
  if (!any) {
    throw records::LocatedError(file_, header.line, 1,
                                "expected " + expected + " (the header row is missing)");
  }
  for (std::size_t n = 0; n < names.size(); ++n) {
    if (index_[n] == header.fields.size()) {
      throw records::LocatedError(file_, header.line, 1,
                                  "expected " + expected + ": no column " + std::string(names[n]));
    }
  }
  // A row of another length has lost or gained a field (an unquoted comma
  // in a name, say), so its fields would land in the wrong columns.
  for (std::size_t r = 1; r < rows_.size(); ++r) {
    const std::size_t found = rows_[r].fields.size();
    if (found != header_fields_) {
      throw records::LocatedError(
          file_, rows_[r].line, 1,
          "expected " + records::decimal(static_cast<std::int64_t>(header_fields_)) +
              " fields as in the header row, found " +
              records::decimal(static_cast<std::int64_t>(found)) +
              (found > header_fields_ ? " (a field that holds a comma must be quoted)" : ""));
    }
  }
}

const text::CsvField& NamedColumns::field(std::size_t row, std::size_t column) const {
  return rows_.at(row + 1).fields.at(index_.at(column));
}

}  // namespace metclust::import
