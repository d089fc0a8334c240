#include "compare/cli.hpp"

#include <optional>
#include <string_view>

#include "cli/command_line.hpp"
#include "cli/cut_rule.hpp"
#include "cli/output_files.hpp"
#include "cli/version.hpp"
#include "compare/across_years.hpp"
#include "compare/consensus.hpp"
#include "compare/job_years.hpp"
#include "compare/page.hpp"
#include "compare/tables.hpp"
#include "jobs/job_files.hpp"
#include "records/number_text.hpp"
#include "text/csv.hpp"

namespace metclust::compare {
namespace {


constexpr std::string_view kUsage =
    "Usage: metclust-compare (--groups K | --height H) [--ema FILE] [-o DIR] JOB\n";
constexpr std::string_view kHelp =
    "Usage: metclust-compare (--groups K | --height H) [--ema FILE] [-o DIR] JOB\n"
    "Say which locations of a finished metclust job group together year after\n"
    "year, and how far the years agree. A location is the same location in\n"
    "every year that holds its name.\n"
    "\n"
    "Reads JOB.PCL and JOB.CLS, cuts every year's tree, and writes:\n"
    "  JOB-groups-by-year.csv  location,full_name, then each year's region: the\n"
    "                          year's groups matched across years, A, B, ...\n"
    "  JOB-regions.csv         year,location,name,full_name,group,region (group\n"
    "                          numbered as cutree, as metclust-export does)\n"
    "  JOB-comembership.csv    location_a,location_b,full_name_a,full_name_b,\n"
    "                          years_both,years_together,share\n"
    "  JOB-agreement.csv       year_a,year_b,shared_locations,adjusted_rand,\n"
    "                          cophenetic_correlation (empty below 3 shared\n"
    "                          locations or where undefined)\n"
    "  JOB-consensus.csv       location,name,full_name,consensus_group,stability,\n"
    "                          ambiguous (1: the group rests on a choice among\n"
    "                          equal shares)\n"
    "  JOB-years.html          heat map in consensus-tree order, consensus groups\n"
    "                          with stability, agreement and region tables\n"
    "Years a job holds again are columns of their own, <year>-2, <year>-3, ...\n"
    "The fusion levels are the engine's, to full precision, when JOB.EMA is there\n"
    "and gives the same fusions; otherwise those of JOB.CLS, with a note. Full\n"
    "names come from JOB-names.csv when it is there (empty otherwise).\n"
    "The job's own files are only read.\n"
    "\n"
    "Options (one of --groups and --height is required):\n"
    "  -g, --groups K    cut each year into K groups by fusion order, as R's\n"
    "                    cutree with k; the consensus tree is cut into K too\n"
    "      --height H    cut each year at level H, as cutree with h; the\n"
    "                    consensus tree is cut at 0.5 (mean share above one half)\n"
    "      --ema FILE    the job's .EMA file, when it is not JOB.EMA (after\n"
    "                    metclust -o DIR); JOB-names.csv is then also looked\n"
    "                    for beside it\n"
    "  -o, --output DIR  write into DIR (made when missing) instead of the\n"
    "                    job's folder\n"
    "  -h, --help        show this help and exit\n"
    "  -V, --version     show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when a file is missing, malformed or cannot\n"
    "be written (then nothing is written), 2 on a wrong command line.\n";

struct Settings : cli::CutJobSettings {
  std::optional<std::string> ema;  // --ema FILE
};

Settings parse_arguments(std::span<const std::string> arguments) {
  Settings settings;
  static_cast<cli::CutJobSettings&>(settings) = cli::parse_cut_job(
      arguments, true, [&](const std::string& option, cli::Arguments& walker) {
        return cli::take_ema_option(option, walker, settings.ema);
      });
  return settings;
}

int run(const Settings& settings, std::ostream& out, std::ostream& err) {
  const JobYears job = read_job_years(settings.job, settings.rule, settings.ema);
  Comparison comparison = compare_years(job.years);
  if (job.full_names) {
    for (std::size_t k = 0; k < comparison.locations.size(); ++k) {
      const auto found = job.full_names->by_name.find(comparison.locations[k]);
      if (found != job.full_names->by_name.end()) comparison.full_names[k] = found->second;
    }
  }
  ConsensusCut cut;
  cut.groups = settings.rule.groups;
  const Consensus tree = consensus(comparison, cut);

  const cli::OutputPlace place = cli::output_place(settings.job, settings.output);
  const std::string& name = place.job_name;
  PageText text;
  text.job = place.job_text;
  text.title = job.title;
  text.cut = settings.rule.groups ? records::decimal(*settings.rule.groups) + " groups"
                                  : "groups at level " + records::shortest_text(*settings.rule.height);
  text.consensus_cut = settings.rule.groups
                           ? records::decimal(*settings.rule.groups) + " groups"
                           : "groups at 1 \u2212 share = 0.5 (pairs together in more than half their years on average)";

  cli::OutputFiles outputs;
  outputs.add(place.file(name + "-groups-by-year.csv"), groups_by_year_csv(comparison));
  outputs.add(place.file(name + "-comembership.csv"), comembership_csv(comparison));
  outputs.add(place.file(name + "-regions.csv"), regions_csv(comparison));
  outputs.add(place.file(name + "-agreement.csv"), agreement_csv(comparison));
  outputs.add(place.file(name + "-consensus.csv"), consensus_csv(comparison, tree));
  outputs.add(place.file(name + "-years.html"), years_page(comparison, tree, text));
  if (settings.output) cli::OutputFiles::make_folder(place.folder);
  outputs.commit();
  out << outputs.listing();
  for (const std::string& note : job.notes) err << "metclust-compare: note: " << note << '\n';
  return cli::kExitOk;
}

}  // namespace

int run_compare(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  static constexpr cli::ProgramText kText{"metclust-compare", kUsage, kHelp};
  return cli::run_program(kText, cli::program_version(), arguments, out, err,
                            [&](std::span<const std::string> words) {
                              return run(parse_arguments(words), out, err);
                            });
}

}  // namespace metclust::compare
