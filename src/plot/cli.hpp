// The command line of metclust-plot: options, reading of the job's files,
// writing of the pictures and the page, and the exit status.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace metclust::plot {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileFault = 1;  // a file missing, malformed or not writable
inline constexpr int kExitUsage = 2;      // a wrong command line

// Runs metclust-plot with the arguments that follow the program name. Help,
// version and the path of the page go to `out`; a fault is one line on `err`.
// Returns the exit status.
int run_plot(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace metclust::plot
