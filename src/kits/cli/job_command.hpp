// The command line of the programs that read a finished job (export, plot,
// compare, choose): the JOB operand, -o DIR, --ema FILE and the cut rule are
// taken here, the same way for each; a program adds only its own options.
// Also what each of them does last: the folder of -o, the outputs put in
// place, the notes on standard error.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/command_line.hpp"
#include "cli/cut_rule.hpp"
#include "cli/output_files.hpp"
#include "cli/version.hpp"

namespace metclust::cli {

// Which cut options a program takes.
enum class CutOptions {
  None,        // neither
  GroupsOnly,  // -g, --groups K
  Optional,    // --groups K or --height H, or neither
  Required,    // --groups K or --height H
};

// A program's own options: true when `option` is one (its value taken from
// `walker`), false for an option it does not know either.
using MoreOptions = std::function<bool(const std::string& option, Arguments& walker)>;

struct JobCommand {
  explicit JobCommand(CutOptions cut_options = CutOptions::None, bool takes_ema = false)
      : cut(cut_options), ema(takes_ema) {}

  CutOptions cut;
  bool ema;  // takes --ema FILE
  MoreOptions more;
  // The program's checks of its own options together, made once the options
  // have ended and before the JOB operand is taken.
  std::function<void()> check;
};

struct JobSettings {
  std::string job;                    // as cli::job_name makes it
  std::optional<std::string> output;  // the folder of -o
  std::optional<std::string> ema;     // the file of --ema
  CutRule rule;
};

// Walks the options and takes the one JOB operand. An option that neither
// `command` nor the program takes is a UsageError, and so is a cut rule that
// check_cut_rule refuses.
JobSettings parse_job_command(std::span<const std::string> arguments, const JobCommand& command);

// What --help says of the options the job-reading programs share, each in
// a column 20 wide.
inline constexpr std::string_view kEmaHelp =
    "      --ema FILE    the job's .EMA file, when it is not JOB.EMA (after\n"
    "                    metclust -o DIR); JOB-names.csv is then also looked\n"
    "                    for beside it\n";
inline constexpr std::string_view kOutputHelp =
    "  -o, --output DIR  write into DIR (made when missing) instead of the\n"
    "                    job's folder\n";
inline constexpr std::string_view kHelpAndVersionHelp =
    "  -h, --help        show this help and exit\n"
    "  -V, --version     show the version and exit\n";

// The whole --help text of a job-reading program: its usage line, `own`
// (what it does, then "Options:" and the options of its own), the `shared`
// options it takes (above), and the exit statuses.
std::string job_help(std::string_view usage, std::string_view own,
                     std::initializer_list<std::string_view> shared);

// Runs a job-reading program: run_program with the project's version, the
// body parsing the words and running on what they say.
template <class Settings>
int run_job_program(const ProgramText& text, std::span<const std::string> arguments,
                    std::ostream& out, std::ostream& err,
                    Settings (*parse)(std::span<const std::string>),
                    int (*run)(const Settings&, std::ostream&, std::ostream&)) {
  return run_program(text, program_version(), arguments, out, err,
                     [&](std::span<const std::string> words) { return run(parse(words), out, err); });
}

// Puts a run's outputs in place: first the folder of -o when one was given
// (`made_folder`), then every output at once.
void commit_outputs(OutputFiles& outputs, const OutputPlace& place, bool made_folder);

// The notes of a successful run, one line each: "PROGRAM: note: ...".
void print_notes(std::ostream& err, std::string_view program, std::span<const std::string> notes);

}  // namespace metclust::cli
