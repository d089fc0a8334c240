// The version every program prints for --version, set once in CMakeLists.txt.
#pragma once

#include <string_view>

namespace metclust::cli {

std::string_view program_version();

}  // namespace metclust::cli
