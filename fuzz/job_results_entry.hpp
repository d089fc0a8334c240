// Entry point of the job-results fuzz target, shared with the test that
// replays the fixture jobs and the inputs it once failed on: arbitrary bytes
// as a job's .PCL and .CLS files, through the readers the companion programs
// use, and every year that passes them through the tree computations,
// metclust-export's tables and metclust-plot's picture.
//
// Input: one byte K - 1 for the cut into K groups, two bytes (high, low) for
// the length of the .PCL part, then the .PCL bytes, then the .CLS bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/year_tables.hpp"
#include "formats/job_results.hpp"
#include "jobs/years.hpp"
#include "plot/svg.hpp"
#include "records/located_error.hpp"
#include "trees/newick.hpp"
#include "trees/tree.hpp"

namespace metclust::fuzz {

// Empty when every rule held, otherwise the rule broken.
inline std::string read_job_results(std::span<const std::uint8_t> data) {
  if (data.size() < 3) return {};
  const std::int64_t groups = std::int64_t{data[0]} + 1;
  const std::size_t split =
      std::min<std::size_t>((std::size_t{data[1]} << 8 | data[2]), data.size() - 3);
  const std::string_view bytes(reinterpret_cast<const char*>(data.data()) + 3, data.size() - 3);
  const std::string_view plot_bytes = bytes.substr(0, split);
  const std::string_view cluster_bytes = bytes.substr(split);

  // The readers, then the years as every companion program takes them;
  // with a .CLS fault, the plot data alone, as metclust-plot draws a job
  // without .CLS. A fault must be a located error of one of the two files;
  // a year the readers accept must make a tree (anything else escapes).
  const auto fault = [](const records::LocatedError& error) -> std::string {
    if (error.file() != "J.PCL" && error.file() != "J.CLS") return "an error names no input file";
    if (std::string_view(error.what()).empty()) return "an error without a message";
    return {};
  };
  std::vector<formats::PlotYear> plot;
  try {
    plot = formats::read_plot_records(plot_bytes, "J.PCL");
  } catch (const records::LocatedError& error) {
    return fault(error);
  }
  std::vector<jobs::Year> years;
  try {
    const formats::ClusterValues values = formats::read_cluster_records(cluster_bytes, "J.CLS");
    years = jobs::job_years(plot, &values, "J.PCL", "J.CLS");
  } catch (const records::LocatedError& error) {
    if (const std::string broken = fault(error); !broken.empty()) return broken;
    try {
      years = jobs::job_years(plot, nullptr, "J.PCL", "J.CLS");
    } catch (const records::LocatedError& plot_error) {
      if (plot_error.file() != "J.PCL") return "a fault of the plot data alone names the .CLS";
      return fault(plot_error);
    }
  }

  for (const jobs::Year& year : years) {
    const trees::Tree& tree = year.tree;
    const auto n = static_cast<std::size_t>(tree.locations());
    std::vector<std::int32_t> order = tree.order();
    std::sort(order.begin(), order.end());
    for (std::size_t k = 0; k < order.size(); ++k) {
      if (order[k] != static_cast<std::int32_t>(k + 1)) return "the order is no permutation";
    }
    const trees::Partition cut = trees::cut_into_groups(tree, groups);
    if (cut.count != std::min<std::int64_t>(groups, static_cast<std::int64_t>(n)) && n > 0) {
      return "a cut into K groups does not give min(K, n) groups";
    }
    const double level = tree.fusions().empty() ? 0.0 : tree.level(tree.fusions().size() / 2);
    const trees::Partition at_level = trees::cut_at_level(tree, level);
    if (at_level.group.size() != n) return "a cut at a level misses locations";
    std::vector<std::string> names(n, "N");
    (void)trees::newick(tree, names);
    (void)exporting::merges_csv(tree, nullptr);
    (void)exporting::linkage_csv(tree);
    (void)exporting::locations_csv(tree, names, std::vector<std::string>(n));
    if (n <= 64) (void)trees::cophenetic_levels(tree);
    plot::PictureOptions options;
    options.heights = year.at_levels;
    options.groups = groups;
    (void)plot::year_svg_document(year, options);
  }
  return {};
}

}  // namespace metclust::fuzz
