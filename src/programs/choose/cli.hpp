// The command line of metclust-choose.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace metclust::choose {

// Runs metclust-choose with the arguments that follow the program name. The
// names of the files written go to `out`, one a line; a fault is one line on
// `err` (a wrong command line adds the usage), notes follow a successful
// run there. Returns the exit status.
int run_choose(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace metclust::choose
