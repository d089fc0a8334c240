#include "export/cli.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "cli/job_command.hpp"
#include "export/year_tables.hpp"
#include "jobs/finished_job.hpp"
#include "records/number_text.hpp"
#include "text/csv.hpp"
#include "trees/newick.hpp"

namespace metclust::exporting {
namespace {

constexpr std::string_view kName = "metclust-export";
constexpr std::string_view kUsage =
    "Usage: metclust-export [--groups K | --height H] [--full-names] [--ema FILE] [-o DIR] JOB\n";
// What --help says after the usage line, up to the options that every
// job-reading program shares (cli::job_help).
constexpr std::string_view kOwnHelp =
    "Write the trees of a finished metclust job in the forms R, Python and tree\n"
    "viewers read.\n"
    "\n"
    "Reads JOB.PCL and JOB.CLS, checks them against each other, and writes for\n"
    "each year group (JOB-<year>, JOB-<year>-2 for a year that comes again):\n"
    "  JOB-<year>.nwk            the tree in Newick, a fusion's node at its level\n"
    "  JOB-<year>-merges.csv     merge1,merge2,height,tie as R's hclust holds them\n"
    "  JOB-<year>-linkage.csv    cluster1,cluster2,height,size as scipy's linkage\n"
    "  JOB-<year>-locations.csv  number,name,full_name,order (place in the order\n"
    "                            metclust-plot draws)\n"
    "and with --groups or --height JOB-groups.csv: year,location,name,full_name,\n"
    "group. The fusion levels are the engine's, to full precision, when JOB.EMA\n"
    "is there and gives the same fusions; otherwise those of JOB.CLS (8 digits),\n"
    "and a note says so. Full names come from JOB-names.csv when it is there.\n"
    "The job's own files are only read.\n"
    "\n"
    "Options:\n"
    "  -g, --groups K    cut each year into K groups by fusion order, as R's\n"
    "                    cutree with k; a year of fewer than K locations puts\n"
    "                    each location in a group of its own\n"
    "      --height H    cut each year at level H: a group holds no fusion\n"
    "                    above H (below an inversion, the fusions under a\n"
    "                    higher one count at its level)\n"
    "      --full-names  name the Newick leaves by their full names where\n"
    "                    JOB-names.csv gives them\n";

struct Settings {
  cli::JobSettings job;
  bool full_names = false;
};

Settings parse_arguments(std::span<const std::string> arguments) {
  Settings settings;
  cli::JobCommand command(cli::CutOptions::Optional, true);
  command.more = [&](const std::string& option, cli::Arguments& walker) {
    if (option != "--full-names") return false;
    walker.no_value();
    settings.full_names = true;
    return true;
  };
  settings.job = cli::parse_job_command(arguments, command);
  return settings;
}

// The note of a year with fusions chosen among equal minima; empty when it
// has none.
std::string tie_note(const std::vector<bool>& ties, const std::string& stem) {
  std::vector<std::string> fusions;
  for (std::size_t s = 0; s < ties.size(); ++s) {
    if (ties[s]) fusions.push_back(records::decimal(static_cast<std::int64_t>(s) + 1));
  }
  if (fusions.empty()) return {};
  constexpr std::size_t kListed = 8;
  std::string list;
  const std::size_t listed = std::min(fusions.size(), kListed);
  for (std::size_t k = 0; k < listed; ++k) {
    if (k > 0) list += k + 1 == listed && fusions.size() <= kListed ? " and " : ", ";
    list += fusions[k];
  }
  if (fusions.size() > kListed) {
    list += " and " + records::decimal(static_cast<std::int64_t>(fusions.size() - kListed)) + " more";
  }
  return stem + (fusions.size() == 1 ? ": fusion " : ": fusions ") + list +
         (fusions.size() == 1 ? " was" : " were") +
         " chosen among pairs at equal proximities (tie column of " + stem +
         "-merges.csv); R's hclust, fastcluster and scipy may join another pair there";
}

int run(const Settings& settings, std::ostream& out, std::ostream& err) {
  const cli::JobSettings& job_settings = settings.job;
  const cli::CutRule& rule = job_settings.rule;
  // Everything is read, checked and made before anything is written.
  jobs::FinishedJob finished =
      jobs::read_finished_job(job_settings.job, jobs::Cluster::Required,
                              "metclust-export takes the fusion levels from it", job_settings.ema);
  const jobs::JobFiles& job = finished.files;
  const jobs::PrecisionOutcome& precision = finished.precision;
  std::vector<std::string> notes = precision.notes;
  if (std::find(precision.engine.begin(), precision.engine.end(), false) !=
      precision.engine.end()) {
    notes.push_back("the tie column is left empty where the levels are those of " +
                    job_settings.job +
                    ".CLS: which fusions were chosen among equal proximities is known only from "
                    "clustering the year again");
  }
  notes.insert(notes.end(), finished.name_notes.begin(), finished.name_notes.end());
  if (!finished.full_names && settings.full_names) {
    notes.push_back(job_settings.job +
                    "-names.csv: no such file; the Newick leaves keep the names in the job");
  }

  const cli::OutputPlace place = cli::output_place(job_settings.job, job_settings.output);
  const std::string& name = place.job_name;

  cli::OutputFiles outputs;
  text::CsvWriter groups;
  const bool cut = rule.groups || rule.height;
  if (cut) groups_header(groups);
  for (std::size_t k = 0; k < job.years.size(); ++k) {
    const jobs::Year& year = job.years[k];
    const trees::Tree& tree = year.tree;
    const std::string stem = jobs::year_stem(name, year);
    for (std::string& note : jobs::name_notes(year, stem)) notes.push_back(std::move(note));
    outputs.add(place.file(stem + ".nwk"),
                trees::newick(tree, jobs::year_labels(year, settings.full_names, stem + ".nwk", notes)));
    const std::vector<bool>* ties = precision.engine[k] ? &precision.ties[k] : nullptr;
    outputs.add(place.file(stem + "-merges.csv"), merges_csv(tree, ties));
    if (ties != nullptr) {
      if (const std::string note = tie_note(*ties, stem); !note.empty()) notes.push_back(note);
    }
    outputs.add(place.file(stem + "-linkage.csv"), linkage_csv(tree));
    outputs.add(place.file(stem + "-locations.csv"),
                locations_csv(tree, year.names, year.full_names));
    if (!cut) continue;
    const trees::Partition partition = rule.groups ? trees::cut_into_groups(tree, *rule.groups)
                                                   : trees::cut_at_level(tree, *rule.height);
    groups_rows(groups, year.column, partition, year.names, year.full_names);
    if (rule.groups && tree.locations() < *rule.groups && tree.locations() > 0) {
      notes.push_back(stem + ": " + records::decimal(tree.locations()) +
                      (tree.locations() == 1 ? " location" : " locations") + ", fewer than the " +
                      records::decimal(*rule.groups) +
                      " groups asked for; each location is a group of its own");
    }
    if (rule.height && trees::has_inversion(tree)) {
      notes.push_back(stem +
                      ": the tree has an inversion; fusions under a higher one count at its level");
    }
  }
  if (cut) outputs.add(place.file(name + "-groups.csv"), groups.take());
  cli::commit_outputs(outputs, place, job_settings.output.has_value());
  out << outputs.listing();
  cli::print_notes(err, kName, notes);
  return cli::kExitOk;
}

}  // namespace

int run_export(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  static const std::string help = cli::job_help(kUsage, kOwnHelp, {cli::kEmaHelp, cli::kOutputHelp, cli::kHelpAndVersionHelp});
  return cli::run_job_program({kName, kUsage, help}, arguments, out, err, &parse_arguments, &run);
}

}  // namespace metclust::exporting
