#include "import/long_source.hpp"

#include <array>
#include <map>
#include <optional>
#include <unordered_map>

#include "import/fields.hpp"
#include "import/location_limit.hpp"
#include "import/named_columns.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/packed.hpp"

namespace metclust::import {
namespace {

struct Pair {
  double value = 0.0;
  std::int64_t line = 0;  // 0 while the pair is not given
};

struct YearPairs {
  SourceYear year;
  std::unordered_map<std::string, std::size_t> index;  // name -> place in year.locations
  // Pairs by the places of their two locations, smaller first.
  std::map<std::pair<std::size_t, std::size_t>, Pair> pairs;
};

std::size_t location_in(YearPairs& y, const std::string& name, const text::CsvField& field) {
  const auto [it, added] = y.index.try_emplace(name, y.year.locations.size());
  if (added) y.year.locations.push_back({name, place_of(field)});
  return it->second;
}

}  // namespace

std::vector<SourceYear> read_long(SourceText& source, const ColumnNames& names) {
  const std::string& file = source.file();
  const NeededColumn columns[] = {year_column(names.year),
                                  {"location_a", {}, "", std::nullopt},
                                  {"location_b", {}, "", std::nullopt},
                                  {"proximity", {}, "", std::nullopt}};
  const NamedColumns csv(source, columns);
  std::vector<YearPairs> years;
  std::unordered_map<std::int64_t, std::size_t> year_index;
  for (std::size_t r = 0; r < csv.rows(); ++r) {
    const text::CsvField& year_cell = csv.field(r, 0);
    const std::int64_t year = year_field(file, year_cell);
    const auto [it, added] = year_index.try_emplace(year, years.size());
    if (added) {
      years.emplace_back();
      years.back().year.year = year;
      years.back().year.file = file;
      years.back().year.place = place_of(year_cell);
    }
    YearPairs& y = years[it->second];
    const text::CsvField& a_field = csv.field(r, 1);
    const text::CsvField& b_field = csv.field(r, 2);
    const std::string a = location_field(file, a_field);
    const std::string b = location_field(file, b_field);
    if (a == b) {
      fail_at(file, b_field, "expected a location other than location_a, found " + quoted(b) + " again");
    }
    const double value = proximity_value(source, csv.field(r, 3));
    std::size_t i = location_in(y, a, a_field);
    std::size_t j = location_in(y, b, b_field);
    if (i > j) std::swap(i, j);
    Pair& pair = y.pairs[{i, j}];
    if (pair.line != 0) {
      fail_at(file, a_field,
              "the pair " + quoted(a) + ", " + quoted(b) + " of year " + records::decimal(year) +
                  " is given again (first on line " + records::decimal(pair.line) + ")");
    }
    pair = {value, a_field.line};
  }
  if (years.empty()) {
    throw records::LocatedError(file, csv.header_line() + 1, 1,
                                "expected the rows of the pairs after the header row, found none");
  }

  // Each year is judged by its whole number of locations before its matrix
  // is made.
  for (const YearPairs& y : years) check_year_locations(y.year);
  std::vector<SourceYear> out;
  for (YearPairs& y : years) {
    const std::size_t n = y.year.locations.size();
    y.year.proximities.assign(static_cast<std::size_t>(records::packed_size(static_cast<std::int64_t>(n))), 0.0);
    for (std::size_t j = 1; j < n; ++j) {
      for (std::size_t i = 0; i < j; ++i) {
        const auto it = y.pairs.find({i, j});
        if (it == y.pairs.end()) {
          // Where the later of the two is first named: from there on the
          // pair could have been given.
          fail_at(file, y.year.locations[j].place,
                  "year " + records::decimal(y.year.year) + " gives no proximity for the pair " +
                      quoted(y.year.locations[i].name) + ", " + quoted(y.year.locations[j].name) +
                      " (location " + quoted(y.year.locations[j].name) + " is first named here)");
        }
        const auto at = static_cast<std::size_t>(
            records::packed_index(static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(j + 1)));
        y.year.proximities[at] = it->second.value;
      }
    }
    out.push_back(std::move(y.year));
  }
  return out;
}

}  // namespace metclust::import
