#include "choose/tables.hpp"

#include <algorithm>
#include <functional>
#include <optional>

#include "text/csv.hpp"

namespace metclust::choose {
namespace {

void optional_number(text::CsvWriter& csv, const std::optional<double>& value) {
  if (value) {
    csv.number(*value);
  } else {
    csv.empty();
  }
}

void optional_integer(text::CsvWriter& csv, const std::optional<std::int64_t>& value) {
  if (value) {
    csv.integer(*value);
  } else {
    csv.empty();
  }
}

// One row per year and strategy, years first.
std::string by_year(const std::vector<RunFigures>& runs, const std::vector<const char*>& header,
                    const std::function<void(text::CsvWriter&, const YearFigures&)>& row) {
  text::CsvWriter csv;
  for (const char* name : header) csv.text(name);
  csv.end_row();
  for (const std::string& column : year_columns(runs)) {
    for (const RunFigures& run : runs) {
      for (const YearFigures& year : run.years) {
        if (year.column != column) continue;
        csv.text(column).integer(run.strategy);
        row(csv, year);
        csv.end_row();
      }
    }
  }
  return csv.take();
}

}  // namespace

std::vector<std::string> year_columns(const std::vector<RunFigures>& runs) {
  std::vector<std::string> columns;
  for (const RunFigures& run : runs) {
    for (const YearFigures& year : run.years) {
      if (std::find(columns.begin(), columns.end(), year.column) == columns.end()) {
        columns.push_back(year.column);
      }
    }
  }
  return columns;
}

std::string fit_csv(const std::vector<RunFigures>& runs) {
  return by_year(runs, {"year", "strategy", "cophenetic_correlation", "agglomerative_coefficient"},
                 [](text::CsvWriter& csv, const YearFigures& year) {
                   optional_number(csv, year.cophenetic_correlation);
                   optional_number(csv, year.agglomerative_coefficient);
                 });
}

std::string suggested_groups_csv(const std::vector<RunFigures>& runs) {
  return by_year(runs,
                 {"year", "strategy", "mojena_groups", "silhouette_groups", "silhouette_width"},
                 [](text::CsvWriter& csv, const YearFigures& year) {
                   optional_integer(csv, year.mojena_groups);
                   optional_integer(csv, year.silhouette_groups);
                   optional_number(csv, year.silhouette_width);
                 });
}

std::string stability_csv(const std::vector<RunFigures>& runs) {
  text::CsvWriter csv;
  csv.text("strategy").text("groups").text("mean_adjusted_rand").text("year_pairs");
  csv.end_row();
  for (const RunFigures& run : runs) {
    for (std::size_t k = 0; k < run.stability.size(); ++k) {
      csv.integer(run.strategy).integer(static_cast<std::int64_t>(k) + 2);
      optional_number(csv, run.stability[k].mean_adjusted_rand);
      csv.integer(run.stability[k].year_pairs);
      csv.end_row();
    }
  }
  return csv.take();
}

}  // namespace metclust::choose
