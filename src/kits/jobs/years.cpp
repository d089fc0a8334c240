#include "jobs/years.hpp"

#include <algorithm>
#include <utility>

#include "jobs/location_names.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::jobs {
namespace {

using records::decimal;

// The year's tree, its fusion levels from `cluster` when given. The plot
// records make a tree whatever they hold (read_plot_records checks it), so
// a fault here is the program's own.
trees::Tree tree_of(const formats::PlotYear& plot, const formats::ClusterYear* cluster) {
  std::vector<trees::Fusion> fusions;
  fusions.reserve(plot.joins.size());
  for (std::size_t s = 0; s < plot.joins.size(); ++s) {
    fusions.push_back({plot.joins[s][0], plot.joins[s][1],
                       cluster ? cluster->fusions.at(s).level : static_cast<double>(s + 1)});
  }
  return trees::Tree(plot.joins.empty() ? std::min(plot.locations, 1) : plot.locations,
                     std::move(fusions));
}

Year year_of(const formats::PlotYear& plot, const formats::ClusterYear* cluster,
             const std::string& plot_file) {
  Year year;
  year.year = plot.year;
  year.title = plot.title;
  year.line = plot.line;
  year.tree = tree_of(plot, cluster);
  year.at_levels = cluster != nullptr;
  if (cluster) year.label = cluster->label;

  const auto n = static_cast<std::size_t>(year.tree.locations());
  const std::vector<std::int32_t>& order = year.tree.order();
  // Without a node listing (a year of one location) no field names it.
  std::vector<std::string_view> fields(n);
  for (std::size_t k = 0; k < n && !plot.nodes.empty(); ++k) {
    const std::int32_t number = plot.nodes[k].number;
    if (number != order[k]) {
      throw records::LocatedError(
          plot_file, plot.slot_line(k + 1), 29,
          "node listing entry " + decimal(static_cast<std::int64_t>(k) + 1) + " is location " +
              decimal(number) + ", the fusions put location " + decimal(order[k]) + " there");
    }
    fields[static_cast<std::size_t>(number) - 1] = records::view(plot.nodes[k].name);
  }
  give_names(year, fields);
  for (std::size_t c = n; c < plot.nodes.size(); ++c) {
    year.group_names.push_back(name_text(records::view(plot.nodes[c].name)));
  }
  if (!plot.nodes.empty()) {
    year.places.resize(plot.nodes.size());
    for (const formats::pcl::Node& node : plot.nodes) {
      year.places.at(static_cast<std::size_t>(node.number) - 1) = {node.x, node.y};
    }
  }
  return year;
}

}  // namespace

void give_names(Year& year, std::span<const std::string_view> fields) {
  year.names.clear();
  year.unnamed.clear();
  year.doubled.clear();
  for (std::size_t k = 0; k < fields.size(); ++k) {
    const auto number = static_cast<std::int32_t>(k) + 1;
    year.names.push_back(location_name(fields[k], number));
    if (!has_name(fields[k])) year.unnamed.push_back(number);
  }
  // A name that an earlier location has is told apart by the number.
  std::vector<std::string> unused;
  year.names = distinct_labels(std::move(year.names), "", unused, &year.doubled);
  year.full_names.assign(fields.size(), std::string());
}

std::vector<std::string> year_labels(const Year& year, bool full, const std::string& stem,
                                     std::vector<std::string>& notes) {
  if (!full) return year.names;
  std::vector<std::string> labels = year.names;
  for (std::size_t k = 0; k < labels.size() && k < year.full_names.size(); ++k) {
    if (!year.full_names[k].empty()) labels[k] = year.full_names[k];
  }
  return distinct_labels(std::move(labels), stem, notes);
}

std::vector<std::string> name_notes(const Year& year, const std::string& stem) {
  std::vector<std::string> notes;
  if (year.tree.locations() < 2) return notes;
  auto doubled = year.doubled.begin();
  for (std::int32_t k = 1; k <= year.tree.locations(); ++k) {
    const std::string& name = year.names.at(static_cast<std::size_t>(k) - 1);
    if (std::binary_search(year.unnamed.begin(), year.unnamed.end(), k)) {
      notes.push_back(stem + ": location " + decimal(k) + " has no name; it is called " + name);
    }
    if (doubled != year.doubled.end() && doubled->first == k) {
      notes.push_back(stem + ": locations " + decimal(doubled->second) + " and " + decimal(k) +
                      " are both named '" +
                      year.names.at(static_cast<std::size_t>(doubled->second) - 1) +
                      "'; location " + decimal(k) + " is called '" + name + "'");
      ++doubled;
    }
  }
  return notes;
}

void give_full_names(std::vector<Year>& years, const FullNames& names) {
  for (Year& year : years) {
    year.full_names.assign(year.names.size(), std::string());
    for (std::size_t k = 0; k < year.names.size(); ++k) {
      const auto number = static_cast<std::int32_t>(k) + 1;
      if (std::binary_search(year.unnamed.begin(), year.unnamed.end(), number)) continue;
      std::size_t base = k;
      for (const auto& [location, first] : year.doubled) {
        if (location == number) base = static_cast<std::size_t>(first) - 1;
      }
      const auto found = names.by_name.find(year.names[base]);
      if (found != names.by_name.end()) year.full_names[k] = found->second;
    }
  }
}

std::string year_stem(const std::string& job_name, const Year& year) {
  return job_name + "-" + year.column;
}

std::vector<Year> job_years(std::span<const formats::PlotYear> plot,
                            const formats::ClusterValues* cluster, const std::string& plot_file,
                            const std::string& cluster_file) {
  if (cluster) {
    formats::check_same_fusions(plot, *cluster, plot_file, cluster_file);
  }
  std::vector<std::int32_t> numbers;
  for (const formats::PlotYear& year : plot) numbers.push_back(year.year);
  const std::vector<std::string> columns = formats::year_columns(numbers);
  std::vector<Year> years;
  years.reserve(plot.size());
  for (std::size_t k = 0; k < plot.size(); ++k) {
    years.push_back(year_of(plot[k], cluster ? &cluster->years[k] : nullptr, plot_file));
    years.back().column = columns[k];
  }
  return years;
}

}  // namespace metclust::jobs
