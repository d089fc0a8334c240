// Fuzz target: arbitrary bytes through RecordReader and FreeFormReader (see
// read_records for how the input is cut into read statements and stream).
#include <cstdio>
#include <cstdlib>

#include "entry_points.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const metclust::fuzz::Workspace space;
  const std::string broken = metclust::fuzz::read_records({data, size}, space);
  if (!broken.empty()) {
    std::fprintf(stderr, "rule broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
