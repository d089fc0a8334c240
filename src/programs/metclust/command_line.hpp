// The command line of metclust: with no argument the dialogue runs as it
// always has; with arguments, help, version, or jobs run with their default
// file names and no dialogue.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace metclust::control {

struct CommandLine {
  // The strategies each job runs with, in order; all eight for --strategy all.
  std::vector<std::int32_t> strategies;
  bool every_strategy = false;  // output names carry the strategy: JOB-sN.*
  std::optional<std::string> output;  // folder of the output files
  bool quiet = false;
  std::vector<std::string> jobs;  // job names, without extension
};

// Reads the arguments that follow the program name, options before the jobs;
// a wrong command line throws cli::UsageError. --help and --version are
// answered before this is called.
CommandLine parse_command_line(std::span<const std::string> arguments);

// The five file names of a job's run with one strategy, in channel order
// 20..24: the job's JOB.EMA and JOB.NAQ where they are, and its three outputs
// beside them or in the output folder, named after the strategy when every
// strategy is run.
std::array<std::string, 5> command_line_names(const CommandLine& line, const std::string& job,
                                              std::int32_t strategy);

// Runs metclust with the arguments that follow the program name (at least
// one), with the conventions of every metclust program: help and version go
// to `out`, a wrong command line to `err` with status 2. The runs themselves
// use the process's standard streams, as the dialogue does. Returns the exit
// status.
int run_command_line(std::span<const std::string> arguments, std::ostream& out,
                     std::ostream& err);

}  // namespace metclust::control
