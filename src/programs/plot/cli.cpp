#include "plot/cli.hpp"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "cli/job_command.hpp"
#include "jobs/finished_job.hpp"
#include "plot/page.hpp"
#include "plot/svg.hpp"

namespace metclust::plot {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kName = "metclust-plot";
constexpr std::string_view kUsage = "Usage: metclust-plot [OPTION]... JOB\n";
// What --help says after the usage line, up to the options that every
// job-reading program shares (cli::job_help).
constexpr std::string_view kOwnHelp =
    "Draw the dendrograms of a metclust job as pictures.\n"
    "\n"
    "Reads JOB.PCL, and JOB.CLS when it exists, and writes one SVG picture per\n"
    "year group, JOB-<year>.svg, and JOB.html, a page that shows every year in\n"
    "file order under the job title. The job's own files are only read.\n"
    "With JOB.CLS each fusion stands at its fusion level D(ij) on a value axis;\n"
    "without it, in the order the fusions were made. The levels are the\n"
    "engine's, to full precision, when JOB.EMA is there and gives the same\n"
    "fusions; otherwise those of JOB.CLS, with a note. Full names from\n"
    "JOB-names.csv, when it is there, stand at the end of each row.\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR  write the pictures and the page into DIR (made when\n"
    "                    missing) instead of the job's folder\n"
    "  -g, --groups K    cut each year into K groups (as R's cutree with k),\n"
    "                    colour them, draw the cut and add a legend\n"
    "      --order       draw the fusions in the order they were made, also\n"
    "                    when JOB.CLS gives their levels\n"
    "      --heights     draw the fusions at their levels, and fail when\n"
    "                    JOB.CLS is missing\n"
    "      --same-scale  draw every year on one scale, so that years can be\n"
    "                    compared by eye\n"
    "      --linear      draw the fusion levels on a linear scale also where most\n"
    "                    of them lie low (in the lowest twentieth), which are\n"
    "                    otherwise drawn on a square-root scale that spreads them\n";

struct Settings {
  cli::JobSettings job;  // its cut rule: --groups K alone
  bool heights = false;
  bool order = false;
  bool same_scale = false;
  bool linear = false;
};

Settings parse_arguments(std::span<const std::string> arguments) {
  Settings settings;
  cli::JobCommand command(cli::CutOptions::GroupsOnly, true);
  command.more = [&](const std::string& option, cli::Arguments& walker) {
    bool* flag = option == "--heights"      ? &settings.heights
                 : option == "--order"      ? &settings.order
                 : option == "--same-scale" ? &settings.same_scale
                 : option == "--linear"     ? &settings.linear
                                            : nullptr;
    if (flag == nullptr) return false;
    walker.no_value();
    *flag = true;
    return true;
  };
  command.check = [&] {
    if (settings.heights && settings.order) {
      throw cli::UsageError("--heights and --order ask for two different scales");
    }
  };
  settings.job = cli::parse_job_command(arguments, command);
  return settings;
}

int run(const Settings& settings, std::ostream& out, std::ostream& err) {
  const cli::JobSettings& job_settings = settings.job;
  // Everything is read and checked before anything is written.
  jobs::FinishedJob finished = jobs::read_finished_job(
      job_settings.job, settings.heights ? jobs::Cluster::Required : jobs::Cluster::IfPresent,
      "--heights takes the fusion levels from it", job_settings.ema);
  const jobs::JobFiles& job = finished.files;
  std::vector<std::string> notes = finished.precision.notes;
  notes.insert(notes.end(), finished.name_notes.begin(), finished.name_notes.end());

  PictureOptions options;
  options.heights = job.strategy.has_value() && !settings.order;
  options.groups = job_settings.rule.groups.value_or(0);
  options.strategy = job.strategy.value_or(0);
  if (settings.linear) options.scale = LevelScaleKind::Linear;
  if (settings.same_scale) {
    std::vector<double> levels;  // of every year, for the one scale they share
    for (const Year& year : job.years) {
      if (const std::optional<ValueSpan> span = year_span(year, options.heights)) {
        options.span = options.span ? merged(*options.span, *span) : *span;
      }
      const std::vector<double> own = fusion_levels(year);
      levels.insert(levels.end(), own.begin(), own.end());
    }
    if (!settings.linear) options.scale = suited_scale(levels);
  }

  const cli::OutputPlace place = cli::output_place(job_settings.job, job_settings.output);
  const std::string& name = place.job_name;

  cli::OutputFiles outputs;
  std::vector<PagePicture> pictures;
  for (const Year& year : job.years) {
    const std::string stem = jobs::year_stem(name, year);
    for (std::string& note : jobs::name_notes(year, stem)) notes.push_back(std::move(note));
    const std::string file = stem + ".svg";
    outputs.add(place.file(file), year_svg_document(year, options));
    pictures.push_back({&year, cli::text_of_name(file)});
  }
  const fs::path page = place.file(name + ".html");
  outputs.add(page, job_page(place.job_text, job.title, pictures, options));
  cli::commit_outputs(outputs, place, job_settings.output.has_value());
  out << cli::name_of(page) << '\n';
  cli::print_notes(err, kName, notes);
  return kExitOk;
}

}  // namespace

int run_plot(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  static const std::string help = cli::job_help(kUsage, kOwnHelp, {cli::kEmaHelp, cli::kHelpAndVersionHelp});
  return cli::run_job_program({kName, kUsage, help}, arguments, out, err, &parse_arguments, &run);
}

}  // namespace metclust::plot
