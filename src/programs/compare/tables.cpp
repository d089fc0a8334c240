#include "compare/tables.hpp"

#include <optional>
#include <vector>

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
    for (const std::int32_t region : comparison.region[k]) {
      if (region == 0) {
        csv.empty();
      } else {
        csv.text(region_letters(region));
      }
    }
    csv.end_row();
  }
  return csv.take();
}

std::string regions_csv(const Comparison& comparison) {
  text::CsvWriter csv;
  csv.text("year").text("location").text("name").text("full_name").text("group").text("region");
  csv.end_row();
  for (std::size_t y = 0; y < comparison.members.size(); ++y) {
    const std::vector<std::size_t>& index = comparison.members[y];
    for (std::size_t k = 0; k < index.size(); ++k) {
      const std::size_t at = index[k];
      csv.text(comparison.columns.at(y)).integer(static_cast<std::int64_t>(k) + 1);
      csv.text(comparison.locations.at(at)).text(full_name(comparison, at));
      csv.integer(comparison.group.at(at).at(y));
      csv.text(region_letters(comparison.region.at(at).at(y)));
      csv.end_row();
    }
  }
  return csv.take();
}

std::string consensus_csv(const Comparison& comparison, const Consensus& consensus) {
  text::CsvWriter csv;
  csv.text("location").text("name").text("full_name").text("consensus_group").text("stability");
  csv.text("ambiguous");
  csv.end_row();
  std::vector<std::optional<std::size_t>> member_of(comparison.locations.size());
  for (std::size_t m = 0; m < consensus.members.size(); ++m) member_of.at(consensus.members[m]) = m;
  for (std::size_t k = 0; k < comparison.locations.size(); ++k) {
    csv.integer(static_cast<std::int64_t>(k) + 1).text(comparison.locations[k]);
    csv.text(full_name(comparison, k));
    if (const std::optional<std::size_t> m = member_of[k]) {
      csv.integer(consensus.partition.group.at(*m));
      optional_number(csv, consensus.stability.at(*m));
      csv.integer(consensus.ambiguous.at(*m) ? 1 : 0);
    } else {
      csv.empty().empty().empty();
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
