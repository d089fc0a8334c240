#include "control/command_line.hpp"

#include <charconv>
#include <filesystem>
#include <string_view>

#include "control/run.hpp"
#include "control/work_space.hpp"
#include "records/channel_table.hpp"

namespace metclust::control {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "metclust";

constexpr std::string_view kUsage =
    "Usage: metclust\n"
    "       metclust --strategy N|all [-o DIR] [-q] JOB...\n";

constexpr std::string_view kHelp =
    "Cluster the locations of a multi-environment crop trial, year by year.\n"
    "\n"
    "Without arguments metclust holds its dialogue at the console: it asks for\n"
    "the job's file names and for the clustering strategy.\n"
    "\n"
    "With JOB operands it runs each job in turn with its default file names and\n"
    "no dialogue: it reads JOB.EMA and JOB.NAQ and writes JOB.SCL, JOB.CLS and\n"
    "JOB.PCL, the same bytes as the dialogue with the same answers. A JOB given\n"
    "as JOB.EMA stands for the job.\n"
    "\n"
    "Options:\n"
    "  -s, --strategy N    cluster with strategy N; a strategy must be given:\n"
    "                        1 nearest neighbour    5 centroid\n"
    "                        2 furthest neighbour   6 flexible WPGMA\n"
    "                        3 group average        7 flexible UPGMA\n"
    "                        4 median               8 incremental sum of squares\n"
    "      --strategy all  run strategies 1 to 8 one after the other, into\n"
    "                      JOB-s1.SCL, JOB-s1.CLS, JOB-s1.PCL ... JOB-s8.PCL\n"
    "  -o, --output DIR    write the output files into DIR (made when missing);\n"
    "                      the input files are read where they are\n"
    "  -q, --quiet         leave out the progress lines on standard output\n"
    "  -h, --help          show this help and exit\n"
    "  -V, --version       show the version and the work space and exit\n"
    "\n"
    "Reports go to standard error, one line each, as in the dialogue. A failed\n"
    "run ends the runs of its job; the jobs after it still run.\n"
    "\n"
    "Exit status: 0 when every run ended normally; otherwise that of the first\n"
    "failed run: its report number (for example 29 for a missing file), or 93\n"
    "when the run header asks for more locations than this build holds (on\n"
    "Windows 0xC0000000 plus the number); 2 on a wrong command line.\n";

// An option's value: the rest of the argument (-s3, --strategy=3) or the
// next argument.
std::string option_value(std::span<const std::string> arguments, std::size_t& k,
                         std::string_view short_name, std::string_view long_name,
                         std::string_view what) {
  const std::string& argument = arguments[k];
  if (argument.starts_with(std::string(long_name) + "=")) return argument.substr(long_name.size() + 1);
  if (argument != short_name && argument != long_name) return argument.substr(short_name.size());
  if (k + 1 >= arguments.size()) {
    throw UsageError("option '" + argument + "' needs " + std::string(what));
  }
  return arguments[++k];
}

bool is_option(const std::string& argument, std::string_view short_name,
               std::string_view long_name) {
  return argument == long_name || argument.starts_with(std::string(long_name) + "=") ||
         argument.starts_with(short_name);
}

std::vector<std::int32_t> strategies_of(const std::string& value) {
  if (value == "all") return {1, 2, 3, 4, 5, 6, 7, 8};
  std::int32_t number = 0;
  const char* end = value.data() + value.size();
  const auto [stop, ec] = std::from_chars(value.data(), end, number);
  if (ec != std::errc() || stop != end || number < 1 || number > 8) {
    throw UsageError("strategy '" + value + "' is none of 1 to 8 or all");
  }
  return {number};
}

}  // namespace

CommandLine parse_command_line(std::span<const std::string> arguments) {
  CommandLine line;
  bool options_end = false;
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    if (options_end || argument.size() < 2 || argument[0] != '-') {
      line.jobs.push_back(argument);
    } else if (argument == "--") {
      options_end = true;
    } else if (argument == "-h" || argument == "--help") {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (argument == "-V" || argument == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    } else if (argument == "-q" || argument == "--quiet") {
      line.quiet = true;
    } else if (is_option(argument, "-s", "--strategy")) {
      const std::string value = option_value(arguments, k, "-s", "--strategy", "a strategy");
      line.strategies = strategies_of(value);
      line.every_strategy = value == "all";
    } else if (is_option(argument, "-o", "--output")) {
      line.output = option_value(arguments, k, "-o", "--output", "a folder");
      if (line.output->empty()) throw UsageError("empty output folder");
    } else {
      throw UsageError("unknown option '" + argument + "'");
    }
  }
  if (line.jobs.empty()) throw UsageError("no job given");
  if (line.strategies.empty()) {
    throw UsageError("no strategy given: add --strategy N (1 to 8) or --strategy all");
  }
  for (std::string& job : line.jobs) {
    const std::string given = job;
    if (job.ends_with(".EMA")) job.resize(job.size() - 4);
    if (fs::path(job).filename().empty()) throw UsageError("'" + given + "' names no job");
  }
  return line;
}

std::array<std::string, 5> command_line_names(const CommandLine& line, const std::string& job,
                                              std::int32_t strategy) {
  std::string outputs = line.output ? (fs::path(*line.output) / fs::path(job).filename()).string()
                                    : job;
  if (line.every_strategy) outputs += "-s" + std::to_string(strategy);
  return {job + ".EMA", job + ".NAQ", outputs + ".SCL", outputs + ".CLS", outputs + ".PCL"};
}

int run_command_line(std::span<const std::string> arguments, std::ostream& out,
                     std::ostream& err) {
  CommandLine line;
  try {
    line = parse_command_line(arguments);
  } catch (const UsageError& error) {
    err << kProgram << ": " << error.what() << "\n"
        << kUsage << "Try 'metclust --help' for more.\n";
    return kExitUsage;
  }
  switch (line.action) {
    case CommandLine::Action::Help:
      out << kUsage << kHelp;
      return 0;
    case CommandLine::Action::Version:
      out << kProgram << " 1.0.0 (work arrays for up to " << kLocationsHeld << " locations)\n";
      return 0;
    case CommandLine::Action::Run:
      break;
  }
  out.flush();
  err.flush();

  // A folder that cannot be made is reported by the first run that opens an
  // output file in it, naming that file.
  if (line.output) {
    std::error_code ignored;
    fs::create_directories(*line.output, ignored);
  }
  records::ConsoleStreams console;
  console.in = records::ConsoleStreams::kNowhere;  // nothing is asked
  if (line.quiet) console.out = records::ConsoleStreams::kNowhere;
  int first_failure = 0;
  for (const std::string& job : line.jobs) {
    for (const std::int32_t strategy : line.strategies) {
      records::ChannelTable channels(console);
      const int status = run_given_job(channels, {command_line_names(line, job, strategy), strategy});
      if (status == 0) continue;
      if (first_failure == 0) first_failure = status;
      break;
    }
  }
  return first_failure;
}

}  // namespace metclust::control
