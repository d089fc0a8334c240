#include "choose/cli.hpp"

#include <optional>
#include <string_view>

#include "choose/figures.hpp"
#include "choose/page.hpp"
#include "choose/runs.hpp"
#include "choose/tables.hpp"
#include "cli/job_command.hpp"
#include "records/number_text.hpp"

namespace metclust::choose {
namespace {

constexpr std::string_view kName = "metclust-choose";
constexpr std::string_view kUsage = "Usage: metclust-choose [--max-groups K] [-o DIR] JOB\n";
// What --help says after the usage line, with every option in a column
// wider than the shared one (cli::job_help adds the exit statuses).
constexpr std::string_view kOwnHelp =
    "Help choose a clustering strategy and a number of groups for a finished\n"
    "job: how well each strategy's trees keep the years' proximities, which\n"
    "number of groups each year suggests, and whether the groups recur from\n"
    "year to year.\n"
    "\n"
    "Reads every run JOB-s1 ... JOB-s8 that `metclust --strategy all JOB` left\n"
    "(or else the one run JOB), each with its .PCL and .CLS, and the job's\n"
    "proximities from JOB.EMA; writes:\n"
    "  JOB-fit.csv               year,strategy,cophenetic_correlation,\n"
    "                            agglomerative_coefficient\n"
    "  JOB-suggested-groups.csv  year,strategy,mojena_groups,silhouette_groups,\n"
    "                            silhouette_width\n"
    "  JOB-stability.csv         strategy,groups,mean_adjusted_rand,year_pairs\n"
    "  JOB-choose.html           the figures side by side, and a suggestion\n"
    "A figure is empty where it is undefined. Without JOB.EMA the cophenetic\n"
    "correlation and the silhouette are left empty. The job's own files are\n"
    "only read.\n"
    "\n"
    "Options:\n"
    "      --max-groups K  cuts into 2 ... K groups for the silhouette and the\n"
    "                      stability, K from 2 to 499 (default 10)\n"
    "  -o, --output DIR    write into DIR (made when missing) instead of the\n"
    "                      job's folder\n"
    "  -h, --help          show this help and exit\n"
    "  -V, --version       show the version and exit\n";

struct Settings {
  cli::JobSettings job;
  std::int64_t max_groups = kDefaultMaxGroups;
};

Settings parse_arguments(std::span<const std::string> arguments) {
  Settings settings;
  cli::JobCommand command;
  command.more = [&](const std::string& option, cli::Arguments& walker) {
    if (option != "--max-groups") return false;
    const std::string text = walker.value();
    const std::optional<std::int64_t> value = records::parse_integer(text);
    if (!value || *value < 2 || *value > kMostGroups) {
      throw cli::UsageError("--max-groups takes a whole number from 2 to " + records::decimal(kMostGroups) +
                            ", not '" + text + "'");
    }
    settings.max_groups = *value;
    return true;
  };
  settings.job = cli::parse_job_command(arguments, command);
  return settings;
}

int run(const Settings& settings, std::ostream& out, std::ostream& err) {
  const JobRuns job = read_runs(settings.job.job);
  std::vector<RunFigures> figures;
  for (const Run& run : job.runs) figures.push_back(run_figures(run, settings.max_groups));
  const Suggestion suggestion = suggest(figures);

  const cli::OutputPlace place = cli::output_place(settings.job.job, settings.job.output);
  const std::string& name = place.job_name;
  PageText text;
  text.job = place.job_text;
  text.title = job.title;
  text.max_groups = settings.max_groups;
  text.proximities = job.proximities;
  text.notes = job.notes;

  cli::OutputFiles outputs;
  outputs.add(place.file(name + "-fit.csv"), fit_csv(figures));
  outputs.add(place.file(name + "-suggested-groups.csv"), suggested_groups_csv(figures));
  outputs.add(place.file(name + "-stability.csv"), stability_csv(figures));
  outputs.add(place.file(name + "-choose.html"), choose_page(figures, suggestion, text));
  cli::commit_outputs(outputs, place, settings.job.output.has_value());
  out << outputs.listing();
  cli::print_notes(err, kName, job.notes);
  return cli::kExitOk;
}

}  // namespace

int run_choose(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  static const std::string help = cli::job_help(kUsage, kOwnHelp, {});
  return cli::run_job_program({kName, kUsage, help}, arguments, out, err, &parse_arguments, &run);
}

}  // namespace metclust::choose
