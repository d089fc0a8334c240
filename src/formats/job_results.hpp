// A finished job as the companion programs read it: the dendrogram records
// of its .PCL file and the fusion records of its .CLS file, read through the
// same record layouts and readers that wrote them, over the bytes of each
// file. Every record they rely on is checked; a fault is a
// records::LocatedError naming the file, the line and, where it lies in one
// field, the column.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace metclust::formats {

// One point of a fusion bracket, as its record holds it.
struct PlotPoint {
  float x = 0.0F;         // abscissa: position along the dendrogram order
  float y = 0.0F;         // ordinate: level of the point in fusion order
  std::int32_t node = 0;  // node number; 0 when the record leaves it blank
  std::string name;       // node name, trailing blanks removed
};

// Fusion s of a year: its five bracket points (up from the first group,
// across, down to the second group). Point 3 is the new group.
struct PlotFusion {
  std::array<PlotPoint, 5> points;
  std::int64_t line = 0;  // record number of point 1
  std::int32_t first() const { return points[0].node; }
  std::int32_t second() const { return points[4].node; }
};

// One entry of the node listing: a location in dendrogram order, or a group.
struct ListedNode {
  std::int32_t number = 0;
  std::string name;  // trailing blanks removed
};

struct YearPlot {
  std::int32_t year = 0;
  std::int32_t locations = 0;  // NL as the header gives it
  std::string title;           // the job title, blanks at both ends removed
  std::int64_t line = 0;       // record number of the header
  // Slots 1..2NL-1: the locations in dendrogram order, then the groups in
  // fusion order. Empty when the year has fewer than two locations.
  std::vector<ListedNode> listing;
  std::vector<PlotFusion> fusions;  // NL-1 of them, in fusion order

  // Taken from the .CLS file when the job has one.
  std::string label;           // year label, blanks at both ends removed
  std::vector<double> levels;  // fusion level D(ij) of each fusion
};

// Node numbers stand in three columns, so a year numbers at most 999 nodes:
// 2NL-1 <= 999.
inline constexpr std::int32_t kMaxPlotLocations = 500;

// Reads every year group of a .PCL file. `file` names it in errors.
std::vector<YearPlot> read_plot_records(std::string_view bytes, const std::string& file);

// The fusion record of a .CLS file: Gpi + Gpj = Gpij and D(ij).
struct FusionLevel {
  std::int32_t first = 0;
  std::int32_t second = 0;
  std::int32_t node = 0;
  double level = 0.0;
  std::int64_t line = 0;
};

struct ClusterYear {
  std::int32_t year = 0;
  std::string label;  // blanks at both ends removed
  std::int32_t locations = 0;
  std::int64_t line = 0;  // record number of the year record
  std::vector<FusionLevel> fusions;
};

struct ClusterValues {
  std::string title;          // blanks at both ends removed
  std::int32_t strategy = 0;  // the strategy number of the option record
  std::vector<ClusterYear> years;
};

// Reads the whole .CLS file. `file` names it in errors.
ClusterValues read_cluster_records(std::string_view bytes, const std::string& file);

// Gives each year of `years` its label and fusion levels from `values`,
// after checking that both files describe the same years, the same location
// counts and the same fusions; a mismatch is an error of `cluster_file`.
void attach_cluster_values(std::vector<YearPlot>& years, const ClusterValues& values,
                           const std::string& cluster_file, const std::string& plot_file);

// The name a program gives the files of a year group: "JOB-<year>", and
// "JOB-<year>-2", "-3", ... for a year that the job holds again; one name
// per year of `years`, in file order.
std::vector<std::string> year_file_stems(const std::string& job, const std::vector<YearPlot>& years);

}  // namespace metclust::formats
