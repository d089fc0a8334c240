// Fuzz target: arbitrary .EMA files through metclust-check and through a
// whole metclust run, which must end as the checker says (see
// check_agrees_with_run).
#include <cstdio>
#include <cstdlib>

#include "companion_entry_points.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const metclust::fuzz::Workspace space;
  const std::string broken = metclust::fuzz::check_agrees_with_run({data, size}, space);
  if (!broken.empty()) {
    std::fprintf(stderr, "rule broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
