#include "check/check_cli.hpp"

#include <filesystem>
#include <fstream>
#include <optional>

#include "check/ema_check.hpp"
#include "cli/command_line.hpp"
#include "cli/job_operand.hpp"
#include "cli/input_files.hpp"
#include "cli/version.hpp"
#include "records/file_names.hpp"
#include "records/number_text.hpp"

namespace metclust::check {
namespace {

constexpr std::string_view kUsage = "Usage: metclust-check [OPTION]... JOB\n";
constexpr std::string_view kHelp =
    "Usage: metclust-check [OPTION]... JOB\n"
    "Read JOB.EMA with metclust's own readers, as a run reads it, and report\n"
    "  JOB.EMA:LINE:COL: error: ...    what would end a run, where and why\n"
    "  JOB.EMA:LINE:COL: warning: ...  what reads but is likely not meant\n"
    "and then one line with the number of years, errors and warnings. JOB.NAQ\n"
    "must exist as well. JOB may be given with its .EMA. No file is changed.\n"
    "\n"
    "Options:\n"
    "  --strict       exit with status 1 on warnings too\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Exit status: 0 when a run would go through (with --strict: and nothing\n"
    "was found), 1 on errors (or warnings with --strict) or when JOB.EMA cannot\n"
    "be read, 2 on a wrong command line.\n";

std::string count_text(std::int64_t n, std::string_view one, std::string_view many) {
  return records::decimal(n) + " " + std::string(n == 1 ? one : many);
}

int check_job(std::span<const std::string> arguments, std::ostream& out) {
  cli::Arguments args(arguments);
  bool strict = false;
  while (const std::optional<std::string> option = args.next_option()) {
    if (*option == "--strict") {
      args.no_value();
      strict = true;
    } else {
      throw cli::UsageError("unknown option '" + *option + "'");
    }
  }
  const auto operands = args.operands();
  const std::string job = cli::single_job(operands);
  const std::string ema = job + ".EMA";
  const std::string naq = job + ".NAQ";

  const std::string bytes = cli::read_file(ema);
  Diagnostics diagnostics;
  // metclust connects .NAQ before it reads a byte of .EMA, and ends when it
  // cannot.
  std::error_code ec;
  const std::filesystem::path naq_path = records::path_of_name(naq);
  const std::filesystem::file_status naq_status = std::filesystem::status(naq_path, ec);
  if (!std::filesystem::exists(naq_status)) {
    diagnostics.error(naq, 0, 0, "no such file: metclust needs it (it never reads it) and ends with report 29");
  } else if (std::filesystem::is_directory(naq_status)) {
    diagnostics.error(naq, 0, 0, "a folder has this name: metclust ends with report 30 (open failure)");
  } else if (!std::ifstream(naq_path, std::ios::binary)) {
    diagnostics.error(naq, 0, 0,
                      "cannot be opened for reading: metclust ends with report 9 (permission to "
                      "access file denied)");
  }
  const EmaSummary summary = check_ema(bytes, ema, diagnostics);
  for (const Diagnostic& d : diagnostics.all()) out << format(d) << '\n';
  out << ema << ": " << count_text(summary.years, "year", "years") << ", "
      << count_text(diagnostics.errors(), "error", "errors") << ", "
      << count_text(diagnostics.warnings(), "warning", "warnings") << '\n';
  if (diagnostics.errors() > 0 || (strict && diagnostics.warnings() > 0)) return cli::kExitBadData;
  return cli::kExitOk;
}

}  // namespace

int run_check(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
  const cli::ProgramText text{"metclust-check", kUsage, kHelp};
  return cli::run_program(text, cli::program_version(), arguments, out, err,
                            [&](std::span<const std::string> args) { return check_job(args, out); });
}

}  // namespace metclust::check
