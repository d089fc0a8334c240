// The trees of a job for R and Python: a finished job read through the
// project's own readers (JOB.PCL and JOB.CLS, and JOB.EMA for the levels in
// full precision), or JOB.EMA clustered in-process as a run clusters it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "trees/tree.hpp"

namespace metclust::bindings {

struct YearTree {
  // The year's name among the job's files: "1995" for JOB-1995, "1995-2" for
  // a year that the job holds again.
  std::string column;
  std::int32_t year = 0;
  std::string label;               // the year label, blanks at both ends removed
  std::vector<std::string> names;  // by location number, blanks at both ends removed
  trees::Tree tree{0, {}};
};

struct JobTrees {
  std::string stem;   // the job as files are named from it: "DIR/JOB"
  std::string title;  // blanks at both ends removed
  std::int32_t strategy = 0;
  // True when every level is the engine's double from JOB.EMA; false when
  // some are the 8-digit levels of JOB.CLS.
  bool full_precision = false;
  // Every year of two locations or more, in file order.
  std::vector<YearTree> years;
  // What the caller should pass on as warnings: years left out, an .EMA
  // that was not used and why.
  std::vector<std::string> notes;
};

// The file of a job name is missing.
class MissingFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "DIR/JOB" from "DIR/JOB" or from the name of one of its files (.PCL, .CLS,
// .EMA). Throws std::invalid_argument when no job name is left.
std::string job_stem(std::string_view job);

// Reads the finished job: JOB.PCL and JOB.CLS must both be there and agree.
// When JOB.EMA is beside them, every year is clustered again with the
// strategy of JOB.CLS, and when the fusions are those of JOB.CLS and the
// levels agree with its 8 digits, the engine's levels are taken; otherwise
// the levels of JOB.CLS stay and a note says why. A fault in a file is a
// std::runtime_error naming file, line and column.
JobTrees read_job(std::string_view job);

// Clusters every year of JOB.EMA with the strategy (1..8) as metclust does,
// writing nothing. A fault in the file is a std::runtime_error naming file,
// line and column.
JobTrees run_job(std::string_view job, std::int32_t strategy);

}  // namespace metclust::bindings
