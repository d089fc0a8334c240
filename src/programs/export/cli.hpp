// The command line of metclust-export: options, reading of the job's files,
// the checks, and the files of every year.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace metclust::exporting {

// Runs metclust-export with the arguments that follow the program name. The
// names of the files written go to `out`, one a line; a fault is one line on
// `err` (a wrong command line adds the usage). Returns the exit status.
int run_export(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace metclust::exporting
