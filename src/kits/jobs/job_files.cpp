#include "jobs/job_files.hpp"

#include "cli/command_line.hpp"
#include "cli/input_files.hpp"

namespace metclust::jobs {

JobFiles read_job(const std::string& job, Cluster cluster, std::string_view why) {
  const std::string plot_file = job + ".PCL";
  const std::string cluster_file = job + ".CLS";
  const std::vector<formats::PlotYear> plot =
      formats::read_plot_records(cli::read_file(plot_file), plot_file);
  const std::optional<std::string> cluster_bytes = cli::read_file_if_present(cluster_file);
  if (!cluster_bytes && cluster == Cluster::Required) {
    throw cli::MissingFile(cluster_file, std::string(why));
  }
  JobFiles files;
  files.title = plot.empty() ? std::string() : plot.front().title;
  std::optional<formats::ClusterValues> values;
  if (cluster_bytes) {
    values = formats::read_cluster_records(*cluster_bytes, cluster_file);
    files.strategy = values->strategy;
    if (files.title.empty()) files.title = values->title;
  }
  files.years = job_years(plot, values ? &*values : nullptr, plot_file, cluster_file);
  return files;
}

}  // namespace metclust::jobs
