#include "compare/tables.hpp"

#include <optional>

#include "text/csv.hpp"

namespace metclust::compare {
namespace {

void optional_number(text::CsvWriter& csv, const std::optional<double>& value) {
  if (value) {
    csv.number(*value);
  } else {
    csv.empty();
  }
}

std::string_view full_name(const Comparison& comparison, std::size_t location) {
  return location < comparison.full_names.size() ? std::string_view(comparison.full_names[location])
                                                 : std::string_view();
}

}  // namespace

std::string groups_by_year_csv(const Comparison& comparison) {
  text::CsvWriter csv;
  csv.text("location").text("full_name");
  for (const std::string& column : comparison.columns) csv.text(column);
  csv.end_row();
  for (std::size_t k = 0; k < comparison.locations.size(); ++k) {
    csv.text(comparison.locations[k]).text(full_name(comparison, k));
    for (const std::int32_t group : comparison.group[k]) {
      if (group == 0) {
        csv.empty();
      } else {
        csv.integer(group);
      }
    }
    csv.end_row();
  }
  return csv.take();
}

std::string comembership_csv(const Comparison& comparison) {
  text::CsvWriter csv;
  csv.text("location_a").text("location_b").text("full_name_a").text("full_name_b");
  csv.text("years_both").text("years_together").text("share");
  csv.end_row();
  for (std::size_t a = 0; a < comparison.locations.size(); ++a) {
    for (std::size_t b = a + 1; b < comparison.locations.size(); ++b) {
      const PairCount& count = comparison.pair(a, b);
      if (count.years_both == 0) continue;
      csv.text(comparison.locations[a]).text(comparison.locations[b]);
      csv.text(full_name(comparison, a)).text(full_name(comparison, b));
      csv.integer(count.years_both).integer(count.years_together);
      csv.number(static_cast<double>(count.years_together) / static_cast<double>(count.years_both));
      csv.end_row();
    }
  }
  return csv.take();
}

std::string agreement_csv(const Comparison& comparison) {
  text::CsvWriter csv;
  csv.text("year_a").text("year_b").text("shared_locations").text("adjusted_rand");
  csv.text("cophenetic_correlation");
  csv.end_row();
  for (const Agreement& row : comparison.agreement) {
    csv.text(comparison.columns.at(row.year_a)).text(comparison.columns.at(row.year_b));
    csv.integer(row.shared);
    optional_number(csv, row.adjusted_rand);
    optional_number(csv, row.cophenetic_correlation);
    csv.end_row();
  }
  return csv.take();
}

}  // namespace metclust::compare
