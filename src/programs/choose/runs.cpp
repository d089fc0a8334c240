#include "choose/runs.hpp"

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "cli/command_line.hpp"
#include "cli/output_files.hpp"
#include "jobs/full_precision.hpp"
#include "jobs/job_files.hpp"
#include "jobs/years.hpp"
#include "records/file_names.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::choose {
namespace {

using records::decimal;

bool exists(const std::string& name) {
  std::error_code ec;
  return std::filesystem::exists(records::path_of_name(name), ec);
}

void note(JobRuns& runs, std::string text) {
  if (std::find(runs.notes.begin(), runs.notes.end(), text) == runs.notes.end()) {
    runs.notes.push_back(std::move(text));
  }
}

// The names of a year's locations by number (jobs::location_name); empty,
// with why in `why`, when a name is blank or stands twice, the first such
// in the node listing.
std::vector<std::string> location_names(const jobs::Year& year, std::string& why) {
  for (const std::int32_t number : year.tree.order()) {
    if (std::binary_search(year.unnamed.begin(), year.unnamed.end(), number)) {
      why = "location " + decimal(number) + " has no name";
      return {};
    }
    for (const auto& [location, first] : year.doubled) {
      if (location != number) continue;
      why = "the name '" + year.names.at(static_cast<std::size_t>(first) - 1) + "' stands twice";
      return {};
    }
  }
  return year.names;
}

Run read_run(const std::string& run_job, std::optional<std::int32_t> expected_strategy,
             const std::optional<std::string>& ema_bytes, JobRuns& runs) {
  const std::string cluster_file = run_job + ".CLS";
  jobs::JobFiles files =
      jobs::read_job(run_job, jobs::Cluster::Required, "metclust-choose takes the fusion levels from it");
  if (expected_strategy && files.strategy != *expected_strategy) {
    throw records::LocatedError(cluster_file, 0, 0,
                                "holds a run of strategy " + decimal(*files.strategy) +
                                    ", where its name says strategy " + decimal(*expected_strategy));
  }
  std::optional<jobs::EmaYears> ema;
  if (ema_bytes) ema = jobs::read_ema_years(*ema_bytes, runs.ema_file, files.years);
  const jobs::PrecisionOutcome precision =
      jobs::full_precision_levels(files, ema ? &*ema : nullptr, runs.ema_file, cluster_file);
  if (ema_bytes) {
    for (const std::string& text : precision.notes) note(runs, text);
  }

  Run run;
  run.strategy = *files.strategy;
  run.name = cli::output_place(run_job, std::nullopt).job_name;
  if (runs.title.empty()) runs.title = files.title;
  for (std::size_t y = 0; y < files.years.size(); ++y) {
    const jobs::Year& year = files.years[y];
    RunYear entry;
    entry.column = year.column;
    entry.tree = year.tree;
    if (precision.engine[y]) {
      entry.proximities = std::move(ema->years[y].proximities);
      runs.proximities = true;
    }
    if (entry.tree.locations() >= 2) {
      std::string why;
      entry.names = location_names(year, why);
      if (entry.names.empty()) {
        // Said once for the job: every run lists the same names.
        note(runs, "year " + entry.column + ": " + why +
                       " in the node listing; the year takes no part in the stability of its cuts");
      }
    }
    run.years.push_back(std::move(entry));
  }
  return run;
}

}  // namespace

JobRuns read_runs(const std::string& job) {
  JobRuns runs;
  runs.ema_file = job + ".EMA";
  const std::optional<std::string> ema_bytes = cli::read_file_if_present(runs.ema_file);
  if (!ema_bytes) {
    note(runs, runs.ema_file +
                   ": no such file; without the proximities the cophenetic correlation and "
                   "the silhouette are left empty, and the fusion levels are those of the .CLS "
                   "files, to 8 significant digits");
  }
  for (std::int32_t strategy = 1; strategy <= 8; ++strategy) {
    const std::string run_job = job + "-s" + decimal(strategy);
    if (!exists(run_job + ".PCL") && !exists(run_job + ".CLS")) continue;
    runs.runs.push_back(read_run(run_job, strategy, ema_bytes, runs));
  }
  if (runs.runs.empty()) {
    if (!exists(job + ".PCL")) {
      throw cli::FileError(job + ".PCL", "no such file, and no run " + job + "-s1 ... " + job +
                                             "-s8 of metclust --strategy all either");
    }
    runs.runs.push_back(read_run(job, std::nullopt, ema_bytes, runs));
  }
  return runs;
}

}  // namespace metclust::choose
