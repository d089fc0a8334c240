#include "jobs/finished_job.hpp"

namespace metclust::jobs {

FinishedJob read_finished_job(const std::string& job, Cluster cluster, std::string_view why,
                              const std::optional<std::string>& ema_file) {
  FinishedJob finished;
  finished.files = read_job(job, cluster, why);
  if (finished.files.strategy) {
    finished.precision = job_full_precision_levels(finished.files, job, ema_file);
  }
  finished.full_names = read_job_full_names(job, finished.name_notes, ema_file);
  if (finished.full_names) give_full_names(finished.files.years, *finished.full_names);
  return finished;
}

}  // namespace metclust::jobs
