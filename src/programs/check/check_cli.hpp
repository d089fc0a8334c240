// metclust-check: reads a job's .EMA file as metclust would and reports,
// with line and column, what would end or mislead a run.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace metclust::check {

int run_check(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace metclust::check
