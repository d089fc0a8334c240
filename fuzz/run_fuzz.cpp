// Fuzz target: a whole job in this process, with arbitrary .EMA bytes and a
// strategy answer taken from the first byte (see run_whole_job).
#include <cstdio>
#include <cstdlib>

#include "entry_points.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const metclust::fuzz::Workspace space;
  const std::string broken = metclust::fuzz::run_whole_job({data, size}, space);
  if (!broken.empty()) {
    std::fprintf(stderr, "rule broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
