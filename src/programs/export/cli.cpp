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
#include "jobs/year_tree.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "text/csv.hpp"
#include "text/utf8.hpp"
#include "trees/newick.hpp"

namespace metclust::exporting {
namespace {

using formats::YearPlot;

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

// The names of a year's locations by number, from the node listing of the
// plot data, as UTF-8.
std::vector<std::string> location_names(const YearPlot& year, std::size_t locations) {
  std::vector<std::string> names(locations);
  for (std::size_t slot = 0; slot < locations && slot < year.listing.size(); ++slot) {
    const formats::ListedNode& entry = year.listing[slot];
    names.at(static_cast<std::size_t>(entry.number) - 1) = text::valid_utf8(entry.name);
  }
  return names;
}

// Labels of the Newick leaves: the names, and "(k)" for location k when its
// name is blank, so that every leaf can be told apart from the others.
std::vector<std::string> leaf_labels(std::vector<std::string> names) {
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (names[k].find_first_not_of(' ') == std::string::npos) {
      names[k] = '(';
      names[k] += records::decimal(static_cast<std::int64_t>(k) + 1);
      names[k] += ')';
    }
  }
  return names;
}

// The tree of a year, checked against the plot data's node listing: both
// must give the same dendrogram order.
int run(const Settings& settings, std::ostream& out, std::ostream& err) {
  // Everything is read, checked and made before anything is written.
  const jobs::JobFiles job = jobs::read_job(settings.job, jobs::Cluster::Required,
                                              "metclust-export takes the fusion levels from it");
  const std::string plot_file = settings.job + ".PCL";

  const cli::OutputPlace place = cli::output_place(settings.job, settings.output);
  const std::string& name = place.job_name;
  const std::vector<std::string> stems = formats::year_file_stems(name, job.years);

  cli::OutputFiles outputs;
  text::CsvWriter groups;
  const bool cut = settings.rule.groups || settings.rule.height;
  if (cut) groups_header(groups);
  std::vector<std::string> notes;
  for (std::size_t k = 0; k < job.years.size(); ++k) {
    const YearPlot& year = job.years[k];
    const trees::Tree tree = jobs::checked_year_tree(year, plot_file);
    const std::vector<std::string> names =
        location_names(year, static_cast<std::size_t>(tree.locations()));
    const std::string& stem = stems[k];
    outputs.add(place.file(stem + ".nwk"), trees::newick(tree, leaf_labels(names)));
    outputs.add(place.file(stem + "-merges.csv"), merges_csv(tree));
    outputs.add(place.file(stem + "-linkage.csv"), linkage_csv(tree));
    outputs.add(place.file(stem + "-locations.csv"), locations_csv(tree, names));
    if (!cut) continue;
    const trees::Partition partition = settings.rule.groups
                                           ? trees::cut_into_groups(tree, *settings.rule.groups)
                                           : trees::cut_at_level(tree, *settings.rule.height);
    groups_rows(groups, std::string_view(stem).substr(name.size() + 1), partition, names);
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
