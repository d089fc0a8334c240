// The one rule by which every companion program names a location.
//
// A location's name is the 8-character name field that the .EMA matrix row
// gives it and the .PCL node listing repeats, as one name
// (text::normalized_name): the blanks at both ends removed, so " A" and "A"
// are one name, as metclust-import makes every name. Bytes that are not
// UTF-8, and control characters, become U+FFFD (text::valid_utf8), since
// everything the programs write is UTF-8.
//
// A location whose name cannot tell it apart from the others of its year is
// called by its number as well:
//   - a field of blanks, or the one location of a year that the plot data
//     lists no name for: "(location k)";
//   - a name that an earlier location of the year (by number) has:
//     "NAME (location k)".
// No name field holds more than 8 characters, so such a name, which has at
// least 12, can never be a location's real name, and the number makes it
// unique within its year. Tables, trees, pictures and pages all show this
// name.
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

namespace metclust::jobs {

// The field as one name: blanks at both ends removed, UTF-8 made valid,
// in normalization form C.
std::string name_text(std::string_view field);

// Whether the field gives a name at all: not when it holds blanks only.
bool has_name(std::string_view field);

// The name shown for location `number` whose name field is `field`, before
// a name an earlier location has is told apart (distinct_labels).
std::string location_name(std::string_view field, std::int32_t number);

// Names made unique within a year, names[k - 1] that of location k: each
// one that is empty, or that an earlier location has, gets "(location k)"
// (after it when not empty). `notes` receives one line per name changed,
// begun by `stem` ("JOB-1993: ..."); `first` (when given) receives, for
// each location k whose name stood before at location j, the pair (k, j).
std::vector<std::string> distinct_labels(
    std::vector<std::string> names, std::string_view stem, std::vector<std::string>& notes,
    std::vector<std::pair<std::int32_t, std::int32_t>>* first = nullptr);

// The full names of a job's locations by their names in the job.
struct FullNames {
  std::string file;                            // JOB-names.csv, as named in notes
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

}  // namespace metclust::jobs
