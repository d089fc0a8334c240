// fuzz_seeds PROJECT SEEDS: writes the seeds of every fuzz target of the
// table in targets.hpp, made from the jobs of the project folder PROJECT,
// into SEEDS/<target>/, one file per seed, named after the job it comes from.
// fuzz_seeds --list: the names of the targets, one a line.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "targets.hpp"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  using namespace metclust::fuzz;
  if (argc == 2 && std::string_view(argv[1]) == "--list") {
    for (const Target& target : targets()) std::printf("%.*s\n", static_cast<int>(target.name.size()), target.name.data());
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_seeds PROJECT SEEDS | fuzz_seeds --list\n");
    return 2;
  }
  try {
    const std::vector<SeedJob> jobs = seed_jobs(argv[1]);
    for (const Target& target : targets()) {
      const fs::path folder = fs::path(argv[2]) / target.name;
      fs::create_directories(folder);
      std::size_t written = 0;
      const auto write = [&](const std::string& source, const std::vector<Bytes>& seeds) {
        for (std::size_t k = 0; k < seeds.size(); ++k) {
          const std::string bytes(seeds[k].begin(), seeds[k].end());
          metclust::testing::write_bytes(folder / (source + "-" + std::to_string(k + 1)), bytes);
          ++written;
        }
      };
      for (const SeedJob& job : jobs) write(job.name, target.job_seeds(job));
      write("own", target.own_seeds());
      std::printf("%.*s: %zu seeds\n", static_cast<int>(target.name.size()), target.name.data(), written);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "fuzz_seeds: %s\n", error.what());
    return 1;
  }
  return 0;
}
