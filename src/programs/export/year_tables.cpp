#include "export/year_tables.hpp"

#include <vector>

namespace metclust::exporting {

std::string merges_csv(const trees::Tree& tree, const std::vector<bool>* ties) {
  const bool known = ties != nullptr && ties->size() == tree.fusions().size();
  text::CsvWriter csv;
  csv.text("merge1").text("merge2").text("height").text("tie").end_row();
  const std::vector<trees::MergeRow> rows = trees::hclust_merge(tree);
  for (std::size_t s = 0; s < rows.size(); ++s) {
    csv.integer(rows[s].merge1).integer(rows[s].merge2).number(rows[s].height);
    if (known) {
      csv.integer((*ties)[s] ? 1 : 0);
    } else {
      csv.empty();
    }
    csv.end_row();
  }
  return csv.take();
}

std::string linkage_csv(const trees::Tree& tree) {
  text::CsvWriter csv;
  csv.text("cluster1").text("cluster2").text("height").text("size").end_row();
  for (const trees::LinkageRow& row : trees::scipy_linkage(tree)) {
    csv.integer(row.cluster1).integer(row.cluster2).number(row.height).integer(row.size).end_row();
  }
  return csv.take();
}

std::string locations_csv(const trees::Tree& tree, std::span<const std::string> names,
                          std::span<const std::string> full_names) {
  const auto n = static_cast<std::size_t>(tree.locations());
  std::vector<std::int64_t> place(n, 0);
  for (std::size_t k = 0; k < tree.order().size(); ++k) {
    place.at(static_cast<std::size_t>(tree.order()[k]) - 1) = static_cast<std::int64_t>(k) + 1;
  }
  text::CsvWriter csv;
  csv.text("number").text("name").text("full_name").text("order").end_row();
  for (std::size_t k = 0; k < n; ++k) {
    csv.integer(static_cast<std::int64_t>(k) + 1).text(names[k]).text(full_names[k]);
    csv.integer(place[k]).end_row();
  }
  return csv.take();
}

void groups_header(text::CsvWriter& csv) {
  csv.text("year").text("location").text("name").text("full_name").text("group").end_row();
}

void groups_rows(text::CsvWriter& csv, std::string_view year, const trees::Partition& partition,
                 std::span<const std::string> names, std::span<const std::string> full_names) {
  for (std::size_t k = 0; k < partition.group.size(); ++k) {
    csv.text(year)
        .integer(static_cast<std::int64_t>(k) + 1)
        .text(names[k])
        .text(full_names[k])
        .integer(partition.group[k])
        .end_row();
  }
}

}  // namespace metclust::exporting
