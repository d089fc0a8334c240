// Where the build put the programs under test, and where the project keeps
// the jobs and inputs the tests run.
#pragma once

#include <filesystem>
#include <string>

#include "support/job_runner.hpp"

namespace metclust::testing {

inline std::filesystem::path metclust_program() { return METCLUST_BINARY; }
inline std::filesystem::path plot_program() { return METCLUST_PLOT_BINARY; }
// The other companion programs, built beside metclust.
inline std::filesystem::path companion_program(const std::string& name) {
  return metclust_program().parent_path() / name;
}
inline std::filesystem::path export_program() { return companion_program("metclust-export"); }
inline std::filesystem::path compare_program() { return companion_program("metclust-compare"); }

// metclust run on the job JOB in `folder` through its dialogue: default file
// names and the strategy answer given.
inline RunOutcome run_metclust_job(const std::filesystem::path& folder, const std::string& job,
                                   int strategy) {
  return run_program(metclust_program(), {}, folder,
                     "Y\n" + job + "\n" + std::to_string(strategy) + "\n");
}

// Whole jobs with their expected bytes, one folder each.
inline std::filesystem::path fixtures_folder() {
  return std::filesystem::path(METCLUST_SOURCE_DIR) / "tests" / "fixtures";
}

// The inputs a fuzz target once found a fault with, one folder per target.
inline std::filesystem::path fuzz_regressions_folder() {
  return std::filesystem::path(METCLUST_SOURCE_DIR) / "fuzz" / "regressions";
}

}  // namespace metclust::testing
