// The command line of metclust: with no argument the dialogue runs as it
// always has; with arguments, help, version, or jobs run with their default
// file names and no dialogue.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace metclust::control {

inline constexpr int kExitUsage = 2;  // a wrong command line

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CommandLine {
  enum class Action { Run, Help, Version };
  Action action = Action::Run;
  // The strategies each job runs with, in order; all eight for --strategy all.
  std::vector<std::int32_t> strategies;
  bool every_strategy = false;  // output names carry the strategy: JOB-sN.*
  std::optional<std::string> output;  // folder of the output files
  bool quiet = false;
  std::vector<std::string> jobs;  // job names, without extension
};

// Reads the arguments that follow the program name; throws UsageError.
CommandLine parse_command_line(std::span<const std::string> arguments);

// The five file names of a job's run with one strategy, in channel order
// 20..24: the job's JOB.EMA and JOB.NAQ where they are, and its three outputs
// beside them or in the output folder, named after the strategy when every
// strategy is run.
std::array<std::string, 5> command_line_names(const CommandLine& line, const std::string& job,
                                              std::int32_t strategy);

// Runs metclust with the arguments that follow the program name (at least
// one). Help and version go to `out`, a wrong command line to `err`; the runs
// themselves use the process's standard streams. Returns the exit status.
int run_command_line(std::span<const std::string> arguments, std::ostream& out,
                     std::ostream& err);

}  // namespace metclust::control
