// A finished job as the programs that show it (export, plot, compare) and
// the R and Python packages read it: its .PCL and .CLS files (read_job),
// its fusion levels at full precision where its .EMA gives them
// (job_full_precision_levels), and the full names of its locations from
// JOB-names.csv when that is there (read_job_full_names, give_full_names).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/full_precision.hpp"
#include "jobs/job_files.hpp"
#include "jobs/location_names.hpp"

namespace metclust::jobs {

struct FinishedJob {
  JobFiles files;  // every year's full_names given where known
  // What job_full_precision_levels did; nothing (and no note) for a job
  // read without its .CLS file, whose years stand at their fusion numbers.
  PrecisionOutcome precision;
  std::optional<FullNames> full_names;
  // What reading JOB-names.csv had to say, after precision.notes.
  std::vector<std::string> name_notes;
};

// Reads the job `job` (as given on the command line, without extension):
// see read_job for `cluster` and `why`, job_full_precision_levels for
// `ema_file`. The faults are theirs.
FinishedJob read_finished_job(const std::string& job, Cluster cluster, std::string_view why,
                              const std::optional<std::string>& ema_file = {});

}  // namespace metclust::jobs
