#include "export/cli.hpp"

#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "cli/cut_rule.hpp"
#include "cli/output_files.hpp"
#include "cli/version.hpp"
#include "export/year_tables.hpp"
#include "jobs/job_files.hpp"
#include "records/number_text.hpp"
#include "text/csv.hpp"
#include "trees/newick.hpp"

namespace metclust::exporting {
namespace {

constexpr std::string_view kUsage =
    "Usage: metclust-export [--groups K | --height H] [-o DIR] JOB\n";
constexpr std::string_view kHelp =
    "Usage: metclust-export [--groups K | --height H] [-o DIR] JOB\n"
    "Write the trees of a finished metclust job in the forms R, Python and tree\n"
    "viewers read.\n"
    "\n"
    "Reads JOB.PCL and JOB.CLS, checks them against each other, and writes for\n"
    "each year group (JOB-<year>, JOB-<year>-2 for a year that comes again):\n"
    "  JOB-<year>.nwk            the tree in Newick, a fusion's node at its level\n"
    "  JOB-<year>-merges.csv     merge1,merge2,height as R's hclust holds them\n"
    "  JOB-<year>-linkage.csv    cluster1,cluster2,height,size as scipy's linkage\n"
    "  JOB-<year>-locations.csv  number,name,order (place in dendrogram order)\n"
    "and with --groups or --height JOB-groups.csv: year,location,name,group.\n"
    "The job's own files are only read.\n"
    "\n"
    "Options:\n"
    "  -g, --groups K    cut each year into K groups by fusion order, as R's\n"
    "                    cutree with k; a year of fewer than K locations puts\n"
    "                    each location in a group of its own\n"
    "      --height H    cut each year at level H: a group holds no fusion\n"
    "                    above H (below an inversion, the fusions under a\n"
    "                    higher one count at its level)\n"
    "  -o, --output DIR  write into DIR (made when missing) instead of the\n"
    "                    job's folder\n"
    "  -h, --help        show this help and exit\n"
    "  -V, --version     show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when a file is missing, malformed or cannot\n"
    "be written (then nothing is written), 2 on a wrong command line.\n";

using Settings = cli::CutJobSettings;

Settings parse_arguments(std::span<const std::string> arguments) {
  return cli::parse_cut_job(arguments, false);
}

int run(const Settings& settings, std::ostream& out, std::ostream& err) {
  // Everything is read, checked and made before anything is written.
  const jobs::JobFiles job = jobs::read_job(settings.job, jobs::Cluster::Required,
                                            "metclust-export takes the fusion levels from it");

  const cli::OutputPlace place = cli::output_place(settings.job, settings.output);
  const std::string& name = place.job_name;

  cli::OutputFiles outputs;
  text::CsvWriter groups;
  const bool cut = settings.rule.groups || settings.rule.height;
  if (cut) groups_header(groups);
  std::vector<std::string> notes;
  for (const jobs::Year& year : job.years) {
    const trees::Tree& tree = year.tree;
    const std::string stem = jobs::year_stem(name, year);
    outputs.add(place.file(stem + ".nwk"), trees::newick(tree, year.names));
    outputs.add(place.file(stem + "-merges.csv"), merges_csv(tree));
    outputs.add(place.file(stem + "-linkage.csv"), linkage_csv(tree));
    outputs.add(place.file(stem + "-locations.csv"), locations_csv(tree, year.names));
    if (!cut) continue;
    const trees::Partition partition = settings.rule.groups
                                           ? trees::cut_into_groups(tree, *settings.rule.groups)
                                           : trees::cut_at_level(tree, *settings.rule.height);
    groups_rows(groups, year.column, partition, year.names);
    if (settings.rule.groups && tree.locations() < *settings.rule.groups && tree.locations() > 0) {
      notes.push_back(stem + ": " + records::decimal(tree.locations()) +
                      (tree.locations() == 1 ? " location" : " locations") + ", fewer than the " +
                      records::decimal(*settings.rule.groups) +
                      " groups asked for; each location is a group of its own");
    }
    if (settings.rule.height && trees::has_inversion(tree)) {
      notes.push_back(stem +
                      ": the tree has an inversion; fusions under a higher one count at its level");
    }
  }
  if (cut) outputs.add(place.file(name + "-groups.csv"), groups.take());
  if (settings.output) cli::OutputFiles::make_folder(place.folder);
  outputs.commit();
  out << outputs.listing();
  for (const std::string& note : notes) err << "metclust-export: note: " << note << '\n';
  return cli::kExitOk;
}

}  // namespace

int run_export(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  static constexpr cli::ProgramText kText{"metclust-export", kUsage, kHelp};
  return cli::run_program(
      kText, cli::program_version(), arguments, out, err,
      [&](std::span<const std::string> words) { return run(parse_arguments(words), out, err); });
}

}  // namespace metclust::exporting
