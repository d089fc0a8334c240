// Fuzz target: arbitrary bytes through the CSV reader and the sources of
// metclust-import (see import_csv for the rules).
#include <cstdio>
#include <cstdlib>

#include "companion_entry_points.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string broken = metclust::fuzz::import_csv({data, size});
  if (!broken.empty()) {
    std::fprintf(stderr, "rule broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
