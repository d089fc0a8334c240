// The trees of a job for R and Python, read as every companion program
// reads a job (the jobs kit): a finished job from JOB.PCL and JOB.CLS, with
// the engine's levels in full precision where JOB.EMA gives them, or JOB.EMA
// clustered in-process as a run clusters it. Locations are named by the one
// rule of jobs/location_names.hpp and labelled by their full names where
// JOB-names.csv gives them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "jobs/years.hpp"

namespace metclust::bindings {

struct JobTrees {
  std::string stem;   // the job as files are named from it: "DIR/JOB"
  std::string title;  // blanks at both ends removed
  std::int32_t strategy = 0;
  // True when every level is the engine's double; false when some are the
  // 8-digit levels of JOB.CLS.
  bool full_precision = false;
  // Every year of two locations or more, in file order, and labels[y] the
  // labels of years[y]'s locations by number: the full name where
  // JOB-names.csv gives one, else the name, told apart within the year.
  std::vector<jobs::Year> years;
  std::vector<std::vector<std::string>> labels;
  // What the caller should pass on as warnings: years left out, names
  // told apart, levels that stay those of JOB.CLS and why.
  std::vector<std::string> notes;
};

// A file of the job is missing (FileNotFoundError in Python).
using MissingFile = cli::MissingFile;

// "DIR/JOB" from "DIR/JOB" or from the name of one of its files, as the
// programs take a JOB operand. Throws std::invalid_argument when no job name
// is left.
std::string job_stem(std::string_view job);

// Reads the finished job: JOB.PCL and JOB.CLS must both be there and agree.
// A fault in a file is a std::runtime_error naming file, line and column.
JobTrees read_job(std::string_view job);

// Clusters every year of JOB.EMA with the strategy (1..8) as metclust does,
// writing nothing. A fault in the file is a std::runtime_error naming file,
// line and column.
JobTrees run_job(std::string_view job, std::int32_t strategy);

}  // namespace metclust::bindings
