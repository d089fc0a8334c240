#include "import/trials_source.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "import/fields.hpp"
#include "import/location_limit.hpp"
#include "import/named_columns.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/packed.hpp"

namespace metclust::import {
namespace {

// The other names breeders give the columns, as long tables of trials are
// written.
constexpr std::array<std::string_view, 5> kLocationNames = {"site", "environment", "env", "loc", "trial"};
constexpr std::array<std::string_view, 7> kGenotypeNames = {"variety", "gen",    "geno", "entry",
                                                            "cultivar", "hybrid", "line"};
constexpr std::array<std::string_view, 3> kValueNames = {"yield", "response", "resp"};

struct Cell {
  std::size_t location = 0, genotype = 0;
  double value = 0.0;  // NaN when missing
};

struct YearCells {
  SourceYear year;
  std::unordered_map<std::string, std::size_t> locations;
  std::unordered_map<std::string, std::size_t> genotypes;
  std::vector<Cell> cells;
  std::vector<bool> has_value;  // for each location
  // Line of each (location, genotype) cell given, to find a second one.
  std::unordered_map<std::uint64_t, std::int64_t> given;
};

std::string year_text(const SourceYear& year) { return "year " + records::decimal(year.year); }

std::string why(const PairFault& fault, const SourceYear& year) {
  const std::string& a = year.locations[fault.a].name;
  const std::string& b = year.locations[fault.b].name;
  const std::string pair = quoted(a) + " and " + quoted(b);
  switch (fault.kind) {
    case PairFault::Kind::NothingShared:
      return year_text(year) + " gives no proximity of " + pair + ": no genotype has a value at both";
    case PairFault::Kind::OneShared:
      return year_text(year) + " gives no correlation of " + pair +
             ": only one genotype has a value at both, and a correlation needs two";
    case PairFault::Kind::NoVariation:
      return year_text(year) + " gives no correlation of " + pair + ": " +
             quoted(year.locations[fault.constant].name) +
             " has the same value for every genotype the two share";
  }
  return {};
}

}  // namespace

TrialYears read_trials(SourceText& source, Measure measure, const ColumnNames& names) {
  const std::string& file = source.file();
  const NeededColumn columns[] = {year_column(names.year),
                                  {"location", kLocationNames, "--location-column", names.location},
                                  {"genotype", kGenotypeNames, "--genotype-column", names.genotype},
                                  {"value", kValueNames, "--value-column", names.value}};
  const NamedColumns csv(source, columns);
  if (csv.rows() == 0) {
    throw records::LocatedError(file, csv.header_line() + 1, 1,
                                "expected the rows of the trial results after the header row, found none");
  }
  std::vector<YearCells> years;
  std::unordered_map<std::int64_t, std::size_t> year_index;
  std::unordered_set<std::string> all_genotypes;
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
    YearCells& y = years[it->second];
    const text::CsvField& location_cell = csv.field(r, 1);
    const text::CsvField& genotype_cell = csv.field(r, 2);
    std::string location = location_field(file, location_cell);
    const std::string genotype = name_field(genotype_cell);
    if (genotype.empty()) fail_at(file, genotype_cell, "expected a genotype name, found an empty field");
    const std::optional<double> value = trial_value(source, csv.field(r, 3));

    const auto [l, new_location] = y.locations.try_emplace(location, y.year.locations.size());
    if (new_location) {
      y.year.locations.push_back({std::move(location), place_of(location_cell)});
      y.has_value.push_back(false);
    }
    const auto [g, new_genotype] = y.genotypes.try_emplace(genotype, y.genotypes.size());
    if (new_genotype) all_genotypes.emplace(genotype);
    const std::uint64_t key = (static_cast<std::uint64_t>(l->second) << 40) | g->second;
    const auto [first, fresh] = y.given.try_emplace(key, genotype_cell.line);
    if (!fresh) {
      fail_at(file, genotype_cell,
              year_text(y.year) + " gives location " + quoted(y.year.locations[l->second].name) +
                  " and genotype " + quoted(genotype) + " again (first on line " +
                  records::decimal(first->second) + ")");
    }
    if (value) y.has_value[l->second] = true;
    y.cells.push_back({l->second, g->second, value ? *value : std::numeric_limits<double>::quiet_NaN()});
  }

  // Each year is judged by its whole number of locations before its table
  // is made.
  for (const YearCells& y : years) check_year_locations(y.year);
  TrialYears out;
  out.genotypes = static_cast<std::int64_t>(all_genotypes.size());
  for (YearCells& y : years) {
    for (std::size_t l = 0; l < y.has_value.size(); ++l) {
      if (!y.has_value[l]) {
        fail_at(file, y.year.locations[l].place,
                "location " + quoted(y.year.locations[l].name) + " has no value in " + year_text(y.year) +
                    " (every cell of it is empty or NA)");
      }
    }
    TrialTable table(y.year.locations.size(),
                     std::vector<double>(y.genotypes.size(), std::numeric_limits<double>::quiet_NaN()));
    for (const Cell& cell : y.cells) table[cell.location][cell.genotype] = cell.value;
    auto result = trial_proximities(table, measure);
    if (const PairFault* fault = std::get_if<PairFault>(&result)) {
      fail_at(file, y.year.locations[fault->b].place, why(*fault, y.year));
    }
    y.year.proximities = std::move(std::get<std::vector<double>>(result));
    // Values far beyond any yield can make a proximity that is no number or
    // lies above what a run joins.
    for (std::size_t b = 1; b < y.year.locations.size(); ++b) {
      for (std::size_t a = 0; a < b; ++a) {
        const double d = y.year.proximities[static_cast<std::size_t>(
            records::packed_index(static_cast<std::int64_t>(a + 1), static_cast<std::int64_t>(b + 1)))];
        if (std::isfinite(d) && d <= kLargestProximity) continue;
        fail_at(file, y.year.locations[b].place,
                year_text(y.year) + " gives the proximity of " + quoted(y.year.locations[a].name) +
                    " and " + quoted(y.year.locations[b].name) +
                    (std::isfinite(d) ? " above 1E20, the largest metclust joins"
                                      : " as no finite number") +
                    ": the values are too large");
      }
    }
    out.years.push_back(std::move(y.year));
  }
  return out;
}

}  // namespace metclust::import
