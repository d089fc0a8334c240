#include "cli/version.hpp"

#ifndef METCLUST_VERSION
#error "METCLUST_VERSION is set by CMakeLists.txt from the project's version"
#endif

namespace metclust::cli {

std::string_view program_version() { return METCLUST_VERSION; }

}  // namespace metclust::cli
