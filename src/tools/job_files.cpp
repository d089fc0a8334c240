#include "tools/job_files.hpp"


#include "records/file_names.hpp"
#include "tools/command_line.hpp"
#include "tools/output_files.hpp"

namespace metclust::tools {

std::string job_name(std::string_view operand) {
  std::string job(operand);
  for (const std::string_view suffix : {".PCL", ".CLS"}) {
    if (job.ends_with(suffix)) job.resize(job.size() - suffix.size());
  }
  if (records::path_of_name(job).filename().empty()) {
    throw UsageError("'" + std::string(operand) + "' names no job");
  }
  return job;
}

std::string single_job(std::span<const std::string> operands) {
  if (operands.empty()) throw UsageError("no job given");
  if (operands.size() > 1) throw UsageError("more than one job given: '" + operands[1] + "'");
  return job_name(operands[0]);
}

JobFiles read_job(const std::string& job, Cluster cluster, std::string_view why) {
  const std::string plot_file = job + ".PCL";
  const std::string cluster_file = job + ".CLS";
  JobFiles files;
  files.years = formats::read_plot_records(read_file(plot_file), plot_file);
  const std::optional<std::string> cluster_bytes = read_file_if_present(cluster_file);
  if (!cluster_bytes && cluster == Cluster::Required) {
    throw FileError(cluster_file, "no such file; " + std::string(why));
  }
  files.title = files.years.empty() ? std::string() : files.years.front().title;
  if (cluster_bytes) {
    files.cluster = formats::read_cluster_records(*cluster_bytes, cluster_file);
    formats::attach_cluster_values(files.years, *files.cluster, cluster_file, plot_file);
    if (files.title.empty()) files.title = files.cluster->title;
  }
  return files;
}

}  // namespace metclust::tools
