#include "jobs/job_files.hpp"

#include "cli/command_line.hpp"
#include "cli/input_files.hpp"

namespace metclust::jobs {

JobFiles read_job(const std::string& job, Cluster cluster, std::string_view why) {
  const std::string plot_file = job + ".PCL";
  const std::string cluster_file = job + ".CLS";
  JobFiles files;
  files.years = formats::read_plot_records(cli::read_file(plot_file), plot_file);
  const std::optional<std::string> cluster_bytes = cli::read_file_if_present(cluster_file);
  if (!cluster_bytes && cluster == Cluster::Required) {
    throw cli::FileError(cluster_file, "no such file; " + std::string(why));
  }
  files.title = files.years.empty() ? std::string() : files.years.front().title;
  if (cluster_bytes) {
    files.cluster = formats::read_cluster_records(*cluster_bytes, cluster_file);
    formats::attach_cluster_values(files.years, *files.cluster, cluster_file, plot_file);
    if (files.title.empty()) files.title = files.cluster->title;
  }
  return files;
}

}  // namespace metclust::jobs
