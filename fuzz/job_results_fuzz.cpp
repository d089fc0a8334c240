// Fuzz target: arbitrary bytes as a job's .PCL and .CLS files through the
// readers of the companion programs and all they compute from a year (see
// job_results_entry.hpp for the layout of an input).
#include <cstdio>
#include <cstdlib>

#include "job_results_entry.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string broken = metclust::fuzz::read_job_results({data, size});
  if (!broken.empty()) {
    std::fprintf(stderr, "rule broken: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
