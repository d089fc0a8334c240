// The year groups of a finished job, each as the one model every companion
// program reasons about: its tree (trees::Tree), the names of its nodes and
// where the plot data draws them, built once from the job's records.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/job_results.hpp"
#include "jobs/location_names.hpp"
#include "trees/tree.hpp"

namespace metclust::jobs {

// Where the plot data draws a node: its abscissa, the place along the
// dendrogram order (1..n for the locations, halfway between its two nodes
// for a group), and its ordinate (1 for a location, the fusion number + 1
// for a group).
struct Place {
  float x = 0.0F;
  float y = 0.0F;
};

struct Year {
  std::int32_t year = 0;  // as the year record gives it
  std::string column;     // the year group's name in tables and files: formats::year_columns
  std::string label;      // the .CLS year label, blanks at both ends removed; "" without it
  std::string title;      // the job title of the year's plot group
  std::int64_t line = 0;  // record number of the year's header in the .PCL file
  // The fusions at their fusion levels D(ij) when `at_levels` (the job has
  // a .CLS file), otherwise at their fusion numbers 1, 2, ... A year of
  // fewer than two locations is a tree without fusions.
  trees::Tree tree{0, {}};
  bool at_levels = false;
  // names[k - 1]: the name of location k (location_names.hpp), unique
  // within the year; `unnamed` lists, in ascending order, the locations
  // whose name field is blank or absent (a year of one location has no node
  // listing), called "(location k)"; `doubled` the pairs (k, j) of a
  // location k whose name the earlier location j has, called
  // "NAME (location k)".
  std::vector<std::string> names;
  std::vector<std::int32_t> unnamed;
  std::vector<std::pair<std::int32_t, std::int32_t>> doubled;
  // full_names[k - 1]: the full name of location k from JOB-names.csv, empty
  // where none is known (give_full_names); all empty until then.
  std::vector<std::string> full_names;
  // group_names[s]: the name the node listing gives the group of fusion s
  // (0-based), as name_text makes it: "LGp__7".
  std::vector<std::string> group_names;
  // places[node - 1] for every node; empty for fewer than two locations,
  // and (with group_names) for a year clustered from its .EMA (matrix_year).
  std::vector<Place> places;
};

// What the names of a year tell the user on standard error, each line
// begun by `stem`: a location without a name, a name that stands twice.
// Nothing for a year of one location, whose plot data names no location.
std::vector<std::string> name_notes(const Year& year, const std::string& stem);

// Gives every location of `years` its full name from `names`, where it
// lists the location's name (that of the first location of its year with
// that name, for a name that stands twice).
void give_full_names(std::vector<Year>& years, const FullNames& names);

// Names the locations of `year` from their name fields, fields[k - 1] that
// of location k, by the rule of location_names.hpp: sets names, unnamed,
// doubled, and full_names (all empty).
void give_names(Year& year, std::span<const std::string_view> fields);

// The labels of a year's locations by number: their names, or with `full`
// their full names where known, told apart as the names are (a note begun
// by `stem` for each one told apart).
std::vector<std::string> year_labels(const Year& year, bool full, const std::string& stem,
                                     std::vector<std::string>& notes);

// The stem of a year group's files: "JOB-1988", "JOB-1988-2".
std::string year_stem(const std::string& job_name, const Year& year);

// The years of a job from the records of its .PCL file and, when the job has
// one, its .CLS file (both describing the same years and fusions). The
// .PCL node listing must list the locations in the order the fusions give;
// that, and a .CLS file of other years or fusions, is a
// records::LocatedError naming the file and the record.
std::vector<Year> job_years(std::span<const formats::PlotYear> plot,
                            const formats::ClusterValues* cluster, const std::string& plot_file,
                            const std::string& cluster_file);

}  // namespace metclust::jobs
