#include "plot/cli.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "plot/markup.hpp"
#include "plot/page.hpp"
#include "formats/job_results.hpp"
#include "formats/strategies.hpp"
#include "records/located_error.hpp"
#include "plot/svg.hpp"

namespace metclust::plot {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "metclust-plot";
constexpr std::string_view kVersion = "metclust-plot 1.0.0\n";
constexpr std::string_view kHelp =
    "Usage: metclust-plot [OPTION]... JOB\n"
    "Draw the dendrograms of a metclust job as pictures.\n"
    "\n"
    "Reads JOB.PCL, and JOB.CLS when it exists, and writes one SVG picture per\n"
    "year group, JOB-<year>.svg, and JOB.html, a page that shows every year in\n"
    "file order under the job title. The job's own files are only read.\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR  write the pictures and the page into DIR (made when\n"
    "                    missing) instead of the job's folder\n"
    "      --heights     draw each fusion at its fusion level D(ij) from JOB.CLS,\n"
    "                    with a value axis, in place of its fusion order\n"
    "  -h, --help        show this help and exit\n"
    "  -V, --version     show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when a file is missing, malformed or cannot\n"
    "be written, 2 on a wrong command line.\n";

struct Settings {
  std::string job;
  std::optional<std::string> output;
  bool heights = false;
};

class UsageError {
 public:
  explicit UsageError(std::string what) : what_(std::move(what)) {}
  const std::string& what() const { return what_; }

 private:
  std::string what_;
};

// A fault that concerns a file as a whole: missing, unreadable, unwritable.
class FileError {
 public:
  FileError(std::string file, std::string what)
      : message_(std::move(file) + ": " + std::move(what)) {}
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

enum class Action { Run, Help, Version };

Action parse_arguments(std::span<const std::string> arguments, Settings& settings) {
  bool have_job = false;
  bool options_end = false;
  const auto take_job = [&](const std::string& argument) {
    if (have_job) throw UsageError(cat({"more than one job given: '", argument, "'"}));
    settings.job = argument;
    have_job = true;
  };
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    if (options_end || argument.size() < 2 || argument[0] != '-') {
      take_job(argument);
    } else if (argument == "--") {
      options_end = true;
    } else if (argument == "-h" || argument == "--help") {
      return Action::Help;
    } else if (argument == "-V" || argument == "--version") {
      return Action::Version;
    } else if (argument == "--heights") {
      settings.heights = true;
    } else if (argument == "-o" || argument == "--output") {
      if (k + 1 >= arguments.size())
        throw UsageError(cat({"option '", argument, "' needs a folder"}));
      settings.output = arguments[++k];
    } else if (argument.starts_with("--output=")) {
      settings.output = argument.substr(9);
    } else if (argument.starts_with("-o")) {
      settings.output = argument.substr(2);
    } else {
      throw UsageError(cat({"unknown option '", argument, "'"}));
    }
  }
  if (!have_job) throw UsageError("no job given");
  if (settings.output && settings.output->empty()) throw UsageError("empty output folder");
  // A job given by its plot file stands for the job.
  if (settings.job.ends_with(".PCL")) settings.job.resize(settings.job.size() - 4);
  if (fs::path(settings.job).filename().empty()) {
    throw UsageError(cat({"'", settings.job, "' names no job"}));
  }
  return Action::Run;
}

// The whole file, or nothing when it does not exist.
std::optional<std::string> read_file(const std::string& name) {
  std::error_code ec;
  const fs::file_status status = fs::status(name, ec);
  if (!fs::exists(status)) return std::nullopt;
  if (fs::is_directory(status)) throw FileError(name, "is a folder, not a file");
  std::ifstream in(name, std::ios::binary);
  if (!in) throw FileError(name, "cannot be opened for reading");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(name, "cannot be read");
  return bytes;
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw FileError(path.string(), "cannot be written");
}

int run(const Settings& settings, std::ostream& out) {
  const std::string plot_file = settings.job + ".PCL";
  const std::string cluster_file = settings.job + ".CLS";

  // Everything is read and checked before the first picture is written.
  const std::optional<std::string> plot_bytes = read_file(plot_file);
  if (!plot_bytes) throw FileError(plot_file, "no such file");
  std::vector<YearPlot> years = formats::read_plot_records(*plot_bytes, plot_file);
  const std::optional<std::string> cluster_bytes = read_file(cluster_file);
  if (!cluster_bytes && settings.heights) {
    throw FileError(cluster_file, "no such file; --heights takes the fusion levels from it");
  }
  PictureOptions options;
  options.heights = settings.heights;
  std::string title = years.empty() ? std::string() : years.front().title;
  if (cluster_bytes) {
    const ClusterValues values = formats::read_cluster_records(*cluster_bytes, cluster_file);
    formats::attach_cluster_values(years, values, cluster_file, plot_file);
    options.strategy = values.strategy;
    if (title.empty()) title = values.title;
  }

  const fs::path job_path(settings.job);
  const std::string job = job_path.filename().string();
  const fs::path folder = settings.output ? fs::path(*settings.output) : job_path.parent_path();
  if (settings.output) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder))
      throw FileError(*settings.output, "cannot make this folder");
  }

  // A year that appears again gets the number of its appearance.
  std::map<std::int32_t, int> seen;
  std::vector<PagePicture> pictures;
  for (const YearPlot& year : years) {
    const int count = ++seen[year.year];
    std::string name = job + "-" + integer_text(year.year);
    if (count > 1) {
      name += '-';
      name += integer_text(count);
    }
    name += ".svg";
    write_file(folder / name, year_svg_document(year, options));
    pictures.push_back({&year, name});
  }
  const fs::path page = folder / (job + ".html");
  write_file(page, job_page(job, title, pictures, options));
  out << page.string() << '\n';
  return kExitOk;
}

}  // namespace

int run_plot(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  Settings settings;
  try {
    switch (parse_arguments(arguments, settings)) {
      case Action::Help:
        out << kHelp;
        return kExitOk;
      case Action::Version:
        out << kVersion;
        return kExitOk;
      case Action::Run:
        return run(settings, out);
    }
  } catch (const UsageError& error) {
    err << kProgram << ": " << error.what() << " (see " << kProgram << " --help)\n";
    return kExitUsage;
  } catch (const records::LocatedError& error) {
    err << kProgram << ": " << error.message() << '\n';
    return kExitFileFault;
  } catch (const FileError& error) {
    err << kProgram << ": " << error.message() << '\n';
    return kExitFileFault;
  }
  return kExitOk;
}

}  // namespace metclust::plot
