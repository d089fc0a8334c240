// metclust-import: a job's .EMA and .NAQ files from the CSV files breeders
// have.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace metclust::import {

int run_import(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace metclust::import
