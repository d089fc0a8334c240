// The runs of a job as metclust-choose reads them: every JOB-s1 ... JOB-s8
// that `metclust --strategy all JOB` left, or else the one run JOB, each
// year's tree at the engine's levels where the job's .EMA file gives them,
// with the year's proximities and its location names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trees/tree.hpp"

namespace metclust::choose {

struct RunYear {
  std::string column;  // the year as the tables name it: "1988", "1988-2"
  trees::Tree tree{0, {}};
  // The year's proximities (packed), only when clustering them again gave
  // this year's fusions: the tree's locations are then their rows.
  std::optional<std::vector<double>> proximities;
  // Location names by location number, for finding a location again in
  // other years; empty when the year cannot name its locations (fewer than
  // two, a blank name, a name twice).
  std::vector<std::string> names;
};

struct Run {
  std::int32_t strategy = 0;  // as the run's .CLS file gives it
  std::string name;           // "TRIAL-s3", or "TRIAL" for a job of one run
  std::vector<RunYear> years;
};

struct JobRuns {
  std::vector<Run> runs;  // by strategy number for JOB-s1 ... JOB-s8
  std::string title;
  std::string ema_file;  // the job's .EMA file, as named in the notes
  bool proximities = false;  // some year has its proximities
  std::vector<std::string> notes;  // said on standard error after a successful run
};

// Reads the job's runs. A run's .PCL and .CLS must both be there and agree;
// a fault is a records::LocatedError or a cli::FileError. JOB-sN whose .CLS
// file names another strategy than N is an error of that file. No run at
// all is a FileError of JOB.PCL.
JobRuns read_runs(const std::string& job);

}  // namespace metclust::choose
