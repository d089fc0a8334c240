// A finished job as the companion programs read it: the plot groups of its
// .PCL file and the fusion records of its .CLS file, read through the same
// record layouts and readers that wrote them, over the bytes of each file.
// Every record they rely on is checked; a fault is a records::LocatedError
// naming the file, the line and, where it lies in one field, the column.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/pcl.hpp"
#include "formats/scl.hpp"

namespace metclust::formats {

// One year group of a .PCL file.
struct PlotYear {
  std::int32_t year = 0;
  std::int32_t locations = 0;  // NL as the header gives it, 0 or more
  std::string title;           // the job title, blanks at both ends removed
  std::int64_t line = 0;       // record number of the header
  // The node listing, slot c (1..2NL-1) in nodes[c - 1]: the locations in
  // dendrogram order, then the groups in fusion order, each with its number
  // and name field, and where the fusions' brackets put it. Empty for fewer
  // than two locations.
  std::vector<pcl::Node> nodes;
  // The two nodes each fusion joins, in fusion order: those of its points 1
  // and 5. Fusion s (1-based) makes node NL + s.
  std::vector<std::array<std::int32_t, 2>> joins;

  // Record number of point 1 of fusion s (0-based), and of listing slot c.
  std::int64_t fusion_line(std::size_t s) const { return line + 6 * static_cast<std::int64_t>(s) + 1; }
  std::int64_t slot_line(std::size_t c) const { return line + static_cast<std::int64_t>(c); }
};

// Node numbers stand in three columns, so a year numbers at most 999 nodes:
// 2NL-1 <= 999.
inline constexpr std::int32_t kMaxPlotLocations = 500;

// Reads every year group of a .PCL file. Beyond each record's fields it
// checks that the brackets make one tree over the listed nodes: point 3 of
// fusion s is node NL + s, points 1 and 5 join a location or an earlier
// group not joined yet, points 2 and 4 are the corners of the bracket, and a
// group joined later stands where it was made. `file` names it in errors.
std::vector<PlotYear> read_plot_records(std::string_view bytes, const std::string& file);

struct ClusterYear {
  std::int32_t year = 0;
  std::string label;  // blanks at both ends removed
  std::int32_t locations = 0;
  std::int64_t line = 0;          // record number of the year record
  std::int64_t fusions_line = 0;  // record number of its first fusion record
  std::vector<FusionRecord> fusions;
};

struct ClusterValues {
  std::string title;          // blanks at both ends removed
  std::int32_t strategy = 0;  // the strategy number of the option record
  std::vector<ClusterYear> years;
};

// Reads the whole .CLS file. `file` names it in errors.
ClusterValues read_cluster_records(std::string_view bytes, const std::string& file);

// Checks that the two files of a job describe the same years, location
// counts and fusions; a mismatch is an error of `cluster_file`.
void check_same_fusions(std::span<const PlotYear> plot, const ClusterValues& cluster,
                        const std::string& plot_file, const std::string& cluster_file);

// The name of each year group of a job in tables and file names, one for
// each entry of `years` (the year of every group, in file order): the year,
// and "<year>-2", "<year>-3", ... for the second, third, ... group of a year
// that the job holds again.
std::vector<std::string> year_columns(std::span<const std::int32_t> years);

}  // namespace metclust::formats
