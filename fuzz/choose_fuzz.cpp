// Fuzz target: arbitrary .EMA files through a whole metclust run and back
// through metclust-choose (see choose_entry.hpp).
#include <cstdio>
#include <cstdlib>

#include "choose_entry.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const metclust::fuzz::Workspace space;
  const std::string broken = metclust::fuzz::choose_from_run({data, size}, space);
  if (!broken.empty()) {
    std::fprintf(stderr, "rule broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
