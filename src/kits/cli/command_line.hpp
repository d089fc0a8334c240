// What every companion program shares on its command line: options before
// operands, --help and --version, the exit statuses, and a fault reported as
// one line "program: FILE:LINE:COL: message".
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace metclust::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadData = 1;  // a file missing, malformed or not writable
inline constexpr int kExitUsage = 2;    // a wrong command line

// A wrong command line: reported with a pointer to --help, status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fault that concerns a file as a whole (missing, unreadable, a folder,
// not writable): "FILE: what", status 1.
class FileError : public std::runtime_error {
 public:
  FileError(const std::string& file, const std::string& what)
      : std::runtime_error(file + ": " + what) {}
};

// The file that was to be read is not there: "FILE: no such file; why".
class MissingFile : public FileError {
 public:
  explicit MissingFile(const std::string& file, const std::string& why = {})
      : FileError(file, why.empty() ? "no such file" : "no such file; " + why) {}
};

// -h, --help, -V or --version met among the options.
struct HelpAsked {
  bool version = false;  // -V, --version rather than -h, --help
};

struct ProgramText {
  std::string_view name;     // e.g. "metclust-export"
  std::string_view usage;    // the first line(s) of --help, printed after a usage error too
  std::string_view help;     // the whole --help text
};

// Walks the arguments: options first, then operands; "--" ends the options.
// An option that takes a value accepts "-o VALUE", "-oVALUE", "--output VALUE"
// and "--output=VALUE". -h, --help, -V and --version are options of every
// program, wherever they stand among the options: next_option() meets them
// and ends the walk with HelpAsked, which run_program answers.
class Arguments {
 public:
  explicit Arguments(std::span<const std::string> arguments) : arguments_(arguments) {}

  // The next option ("-x" or "--name", without any "=value"), or nullopt when
  // the options have ended; the operands are then taken with operands().
  std::optional<std::string> next_option();
  // The value of the option just returned by next_option().
  std::string value();
  // True when the option just returned carried "=value" or "-xVALUE" that
  // value() has not taken (a flag given a value is a usage error).
  void no_value();
  // The operands that follow the options.
  std::span<const std::string> operands() const { return arguments_.subspan(next_); }

 private:
  std::span<const std::string> arguments_;
  std::size_t next_ = 0;
  std::string option_;
  std::optional<std::string> attached_;  // value glued to the option
};

// Runs a program body with the conventions above. --help and --version are
// answered when the body's walk of the options meets them, wherever they
// stand among the options (after "-s 3" as well as first; as in every GNU
// program the first of them wins, and an option before it that is wrong is
// reported as such); after the first operand they are operands. UsageError,
// FileError and records::LocatedError become one line on `err` and the
// matching status, and so does running out of memory (status 1). Whatever
// went to `out` (the help, the version, the body's output) is flushed at
// the end: when it cannot be written (a full disk, a closed pipe) that is
// one line on `err` too, with status 1. The body returns the exit status of
// a normal run.
int run_program(const ProgramText& text, std::string_view version,
                std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                const std::function<int(std::span<const std::string>)>& body);

}  // namespace metclust::cli
