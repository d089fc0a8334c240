// How every companion program names the locations of a finished job: one
// rule for pictures, tables, trees and comparisons.
//
// A location's name is the name its node listing gives it (the 8 characters
// of its matrix row) as one name (text/names.hpp: the blanks at both ends
// removed, Unicode normalization form C), so " A" and "A" are one name. A location that its name cannot tell apart from the others
// of its year is labelled by its number as well:
//   - a blank name: "(location k)";
//   - a name that an earlier location of the year has (by location number):
//     "NAME (location k)".
// No name in a job has more than 8 characters, so such a label, which has
// at least 12, can never be a real name, and the number makes it unique
// within its year.
//
// Full names: metclust-import writes JOB-names.csv beside the job, with
// every location's full name ("Crookston") beside its name in the job
// ("Crooksto"). When that file is there, each location whose name it lists
// has its full name too.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/job_results.hpp"

namespace metclust::jobs {

// A location's name from the name its node listing gives: valid UTF-8, as
// text::normalized_name makes it (empty for a blank name).
std::string location_name(std::string_view listed);

// The full names of a job's locations by their names in the job.
struct FullNames {
  std::string file;                          // JOB-names.csv, as named in notes
  std::map<std::string, std::string> by_name;  // name in the job -> full name
};

// Reads `file` (columns found by name: `location`, the full name, and
// `name`, the name in the job; others are ignored). nullopt when there is
// no such file. A CSV fault or a missing column is a records::LocatedError
// naming the file. A name listed twice with two different full names keeps
// neither (a note says so).
std::optional<FullNames> read_full_names(const std::string& file,
                                         std::vector<std::string>& notes);

// The full names of the job `job` (as given on the command line, without
// extension): JOB-names.csv, or for a run of `metclust --strategy all`
// (JOB-s1 ... JOB-s8) without one, JOB's, or else the one beside the job's
// .EMA file `ema_file` when given (trials/WHEAT-names.csv beside
// trials/WHEAT.EMA). nullopt when none is there.
std::optional<FullNames> read_job_full_names(const std::string& job,
                                             std::vector<std::string>& notes,
                                             const std::optional<std::string>& ema_file = {});

// The locations of one year, by location number (index k - 1 for location k).
struct YearNames {
  std::vector<std::string> labels;      // unique within the year, see above
  std::vector<std::string> full_names;  // empty where none is known
  std::vector<std::string> notes;       // locations labelled by their number
};

// The names of a year of `locations` locations from its node listing (a
// year of fewer than two locations has none: its location is
// "(location 1)", without a note). `stem` begins each note ("JOB-1993").
YearNames year_names(const formats::YearPlot& year, std::int32_t locations,
                     const FullNames* full_names, std::string_view stem);

// Labels made unique in the same way: each label that stands blank or
// again after an earlier one gets "(location k)" (after it when not blank).
// `notes` receives one line per label changed, begun by `stem`.
std::vector<std::string> distinct_labels(std::vector<std::string> labels, std::string_view stem,
                                         std::vector<std::string>& notes);

}  // namespace metclust::jobs
