#include "metclust/command_line.hpp"

#include <charconv>
#include <filesystem>
#include <string_view>

#include "cli/command_line.hpp"
#include "cli/job_operand.hpp"
#include "cli/version.hpp"
#include "metclust/run.hpp"
#include "metclust/work_space.hpp"
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
    "as one of its files (JOB.EMA, JOB.PCL, ...) stands for the job.\n"
    "\n"
    "Options (before the jobs):\n"
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

std::vector<std::int32_t> strategies_of(const std::string& value) {
  if (value == "all") return {1, 2, 3, 4, 5, 6, 7, 8};
  std::int32_t number = 0;
  const char* end = value.data() + value.size();
  const auto [stop, ec] = std::from_chars(value.data(), end, number);
  if (ec != std::errc() || stop != end || number < 1 || number > 8) {
    throw cli::UsageError("strategy '" + value + "' is none of 1 to 8 or all");
  }
  return {number};
}

// Runs every job with every strategy asked for; the exit status of the
// first failed run, or 0.
int run_jobs(const CommandLine& line) {
  records::ConsoleStreams console;
  console.in = records::ConsoleStreams::kNowhere;  // nothing is asked
  if (line.quiet) console.out = records::ConsoleStreams::kNowhere;
  int first_failure = 0;
  for (const std::string& job : line.jobs) {
    for (const std::int32_t strategy : line.strategies) {
      records::ChannelTable channels(console);
      const int status =
          run_given_job(channels, {command_line_names(line, job, strategy), strategy, line.output});
      if (status == 0) continue;
      if (first_failure == 0) first_failure = status;
      break;  // the job's later strategies would fail the same way
    }
  }
  return first_failure;
}

// A file's path as one name for any spelling of it: its folder as the
// system resolves it (links and ".." followed as far as it exists) and its
// name, the letters in one case where the system ignores case.
std::string file_key(const fs::path& file) {
  std::error_code ec;
  fs::path folder = fs::weakly_canonical(fs::absolute(file.parent_path(), ec), ec);
  if (ec) folder = file.parent_path().lexically_normal();
  std::string key = (folder / file.filename()).string();
#if defined(_WIN32)
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
#endif
  return key;
}

// Two jobs of one command line whose outputs would have the same names
// (a/TRIAL and b/TRIAL into one -o folder, or one job given twice): the
// later run would replace the earlier one's results. Nothing is run then.
void refuse_shared_outputs(const CommandLine& line, std::span<const std::string> given) {
  const auto outputs_of = [&](const std::string& job) {
    return command_line_names(line, job, line.strategies.front())[2];
  };
  for (std::size_t later = 1; later < line.jobs.size(); ++later) {
    const std::string job = file_key(line.jobs[later]);
    const std::string outputs = file_key(outputs_of(line.jobs[later]));
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      if (file_key(outputs_of(line.jobs[earlier])) != outputs) continue;
      if (file_key(line.jobs[earlier]) == job) {
        throw cli::UsageError("'" + given[later] + "' names the job of '" + given[earlier] +
                              "' again");
      }
      const std::string scl = outputs_of(line.jobs[later]);
      throw cli::UsageError("jobs '" + given[earlier] + "' and '" + given[later] +
                            "' would both write " + scl.substr(0, scl.size() - 4) +
                            ".SCL, .CLS and .PCL; run them into different output folders (-o)");
    }
  }
}

}  // namespace

CommandLine parse_command_line(std::span<const std::string> arguments) {
  CommandLine line;
  cli::Arguments walk(arguments);
  while (const std::optional<std::string> option = walk.next_option()) {
    if (*option == "-q" || *option == "--quiet") {
      walk.no_value();
      line.quiet = true;
    } else if (*option == "-s" || *option == "--strategy") {
      const std::string value = walk.value();
      line.strategies = strategies_of(value);
      line.every_strategy = value == "all";
    } else if (*option == "-o" || *option == "--output") {
      line.output = walk.value();
      if (line.output->empty()) throw cli::UsageError("empty output folder");
    } else {
      throw cli::UsageError("unknown option '" + *option + "'");
    }
  }
  const std::span<const std::string> jobs = walk.operands();
  if (jobs.empty()) throw cli::UsageError("no job given");
  if (line.strategies.empty()) {
    throw cli::UsageError("no strategy given: add --strategy N (1 to 8) or --strategy all");
  }
  for (const std::string& given : jobs) line.jobs.push_back(cli::job_name(given));
  refuse_shared_outputs(line, jobs);
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
  static const std::string version =
      std::string(cli::program_version()) + " (work arrays for up to " + std::to_string(formats::kLocationsHeld) + " locations)";
  static const std::string help = std::string(kUsage) + std::string(kHelp);
  const cli::ProgramText text{kProgram, kUsage, help};
  return cli::run_program(text, version, arguments, out, err, [&](auto given) {
    const CommandLine line = parse_command_line(given);
    out.flush();
    return run_jobs(line);
  });
}

}  // namespace metclust::control
