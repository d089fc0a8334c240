#include "import/named_columns.hpp"

#include <algorithm>
#include <array>

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

std::string joined(std::span<const std::string_view> names, std::string_view between) {
  std::string out;
  for (const std::string_view name : names) {
    if (!out.empty()) out += between;
    out += name;
  }
  return out;
}

constexpr std::array<std::string_view, 1> kYearNames = {"season"};

// What the message says of a needed column the header row lacks.
std::string lacking(const NeededColumn& column) {
  if (column.given) {
    return "no column " + quoted(*column.given) + " (given with " + std::string(column.option) + ")";
  }
  std::string text = "no column " + std::string(column.name);
  if (!column.others.empty()) text += " (or " + joined(column.others, ", ") + ")";
  return text;
}

}  // namespace

NeededColumn year_column(std::optional<std::string> given) {
  return {"year", kYearNames, "--year-column", std::move(given)};
}

NamedColumns::NamedColumns(SourceText& source, std::span<const NeededColumn> columns)
    : source_(source), rows_(source.rows()) {
  const std::string& file = source_.file();
  std::vector<std::string_view> own;
  for (const NeededColumn& column : columns) own.push_back(column.name);
  const std::string expected = "the header row " + joined(own, ",");
  if (rows_.empty()) throw records::LocatedError(file, 0, 0, "expected " + expected + ", found no row");
  const text::CsvRow& header = rows_.front();
  header_fields_ = header.fields.size();
  std::vector<std::string> names;
  for (const text::CsvField& field : header.fields) names.push_back(lower(field.text));
  // The places of the header row's fields that bear one of `wanted`.
  const auto places_of = [&](std::span<const std::string> wanted) {
    std::vector<std::size_t> places;
    for (std::size_t k = 0; k < names.size(); ++k) {
      if (std::find(wanted.begin(), wanted.end(), names[k]) != wanted.end()) places.push_back(k);
    }
    return places;
  };

  index_.assign(columns.size(), header_fields_);
  std::vector<const NeededColumn*> missing;
  for (std::size_t n = 0; n < columns.size(); ++n) {
    const NeededColumn& column = columns[n];
    const std::vector<std::string> first = {column.given ? lower(*column.given) : std::string(column.name)};
    std::vector<std::size_t> places = places_of(first);
    bool other_name = false;
    if (places.empty() && !column.given) {
      std::vector<std::string> others(column.others.begin(), column.others.end());
      places = places_of(others);
      other_name = true;
    }
    if (places.empty()) {
      missing.push_back(&column);
      continue;
    }
    if (places.size() > 1) {
      const text::CsvField& second = header.fields[places[1]];
      if (names[places[0]] == names[places[1]]) {
        fail_at(file, second,
                "column " + (column.given || other_name ? quoted(trimmed(second.text)) : std::string(column.name)) +
                    " is named twice in the header row");
      }
      fail_at(file, second,
              "columns " + quoted(trimmed(header.fields[places[0]].text)) + " and " +
                  quoted(trimmed(second.text)) + " could each be the " + std::string(column.name) +
                  "; say which with " + std::string(column.option) + " NAME");
    }
    const std::size_t place = places.front();
    for (std::size_t earlier = 0; earlier < n; ++earlier) {
      if (index_[earlier] != place) continue;
      fail_at(file, header.fields[place],
              "column " + quoted(trimmed(header.fields[place].text)) + " is taken for both the " +
                  std::string(columns[earlier].name) + " and the " + std::string(column.name));
    }
    index_[n] = place;
    if (other_name || (column.given && names[place] != column.name)) {
      source_.take_column(column.name, trimmed(header.fields[place].text));
    }
  }
  if (missing.size() == columns.size() &&
      std::any_of(header.fields.begin(), header.fields.end(),
                  [&](const text::CsvField& field) { return source_.reads_as_number(trimmed(field.text)); })) {
    throw records::LocatedError(file, header.line, 1,
                                "expected " + expected + " (the header row is missing)");
  }
  if (!missing.empty()) {
    std::string message = "expected " + expected + ":";
    std::vector<std::string_view> options;
    for (std::size_t k = 0; k < missing.size(); ++k) {
      message += (k == 0 ? " " : ", ") + lacking(*missing[k]);
      if (!missing[k]->given && !missing[k]->option.empty()) options.push_back(missing[k]->option);
    }
    if (!options.empty()) {
      message += "; give the name this file uses with " + joined(options, " NAME, ") + " NAME";
    }
    throw records::LocatedError(file, header.line, 1, message);
  }
  // A row of another length has lost or gained a field (an unquoted
  // separator in a name, say), so its fields would land in the wrong columns.
  const std::string separator(text::separator_word(static_cast<char>(source_.separator())));
  for (std::size_t r = 1; r < rows_.size(); ++r) {
    const std::size_t found = rows_[r].fields.size();
    if (found != header_fields_) {
      throw records::LocatedError(
          file, rows_[r].line, 1,
          "expected " + records::decimal(static_cast<std::int64_t>(header_fields_)) +
              " fields as in the header row, found " +
              records::decimal(static_cast<std::int64_t>(found)) +
              (found > header_fields_ ? " (a field that holds a " + separator + " must be quoted)" : ""));
    }
  }
}

const text::CsvField& NamedColumns::field(std::size_t row, std::size_t column) const {
  return rows_.at(row + 1).fields.at(index_.at(column));
}

}  // namespace metclust::import
