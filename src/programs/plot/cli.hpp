// The command line of metclust-plot: options, reading of the job's files,
// writing of the pictures and the page, and the exit status.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/command_line.hpp"

namespace metclust::plot {

using cli::kExitBadData;
using cli::kExitOk;
using cli::kExitUsage;

// Runs metclust-plot with the arguments that follow the program name. Help,
// version and the path of the page go to `out`; a fault is one line on `err`
// (a wrong command line adds the usage). Returns the exit status.
int run_plot(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace metclust::plot
