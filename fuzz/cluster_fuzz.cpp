// Fuzz target: the agglomeration loop with both pair searches on one matrix
// (see cluster_both_ways).
#include <cstdio>
#include <cstdlib>

#include "entry_points.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string broken = metclust::fuzz::cluster_both_ways({data, size});
  if (!broken.empty()) {
    std::fprintf(stderr, "rule broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
