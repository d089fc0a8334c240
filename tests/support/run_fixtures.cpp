// run_fixtures [--launcher COMMAND] [--fixtures FOLDER]... PROGRAM
//
// Runs every fixture job (tests/fixtures, or the folders given) with PROGRAM
// and compares each run with its expected bytes (support/fixtures.hpp). The
// launcher is a command, its words separated by blanks, that starts PROGRAM,
// as CMake's CMAKE_CROSSCOMPILING_EMULATOR starts a cross-compiled test:
// `--launcher wine` for metclust.exe. Prints each job that fails or is
// skipped and a count of each; exits with 1 when a job fails, 2 on a wrong
// command line.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/fixtures.hpp"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> words_of(std::string_view command) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while ((at = command.find_first_not_of(" \t", at)) != std::string_view::npos) {
    const std::size_t end = std::min(command.find_first_of(" \t", at), command.size());
    words.emplace_back(command.substr(at, end - at));
    at = end;
  }
  return words;
}

int usage(const char* why) {
  std::fprintf(stderr, "run_fixtures: %s\nUsage: run_fixtures [--launcher COMMAND] [--fixtures FOLDER]... PROGRAM\n",
               why);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> launcher;
  std::vector<fs::path> folders;
  fs::path program;
  for (int k = 1; k < argc; ++k) {
    const std::string_view argument = argv[k];
    if (argument == "--launcher" || argument == "--fixtures") {
      if (k + 1 == argc) return usage("an option without its value");
      if (argument == "--launcher") {
        launcher = words_of(argv[++k]);
      } else {
        folders.emplace_back(argv[++k]);
      }
    } else if (argument.starts_with("-") || !program.empty()) {
      return usage(("unexpected argument " + std::string(argument)).c_str());
    } else {
      program = fs::absolute(argument);
    }
  }
  if (program.empty()) return usage("no program given");
  if (!fs::is_regular_file(program)) {
    std::fprintf(stderr, "run_fixtures: no program at %s\n", program.c_str());
    return 2;
  }
  if (folders.empty()) folders.push_back(fs::path(METCLUST_SOURCE_DIR) / "tests" / "fixtures");

  int passed = 0, failed = 0, skipped = 0;
  try {
    for (const fs::path& folder : folders) {
      const std::vector<std::string> names = metclust::testing::fixture_names(folder);
      if (names.empty()) {
        std::fprintf(stderr, "run_fixtures: no fixture jobs in %s\n", folder.c_str());
        return 2;
      }
      for (const std::string& name : names) {
        const metclust::testing::FixtureRun run = metclust::testing::run_fixture(folder / name, program, launcher);
        if (!run.skipped.empty()) {
          std::printf("SKIP %s: %s\n", name.c_str(), run.skipped.c_str());
          ++skipped;
        } else if (!run.problems.empty()) {
          std::printf("FAIL %s:", name.c_str());
          for (const std::string& problem : run.problems) std::printf("\n  %s", problem.c_str());
          std::printf("\n  job folder: %s\n", run.job_folder.c_str());
          ++failed;
        } else {
          ++passed;
        }
        std::fflush(stdout);
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "run_fixtures: %s\n", error.what());
    return 2;
  }
  std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed == 0 ? 0 : 1;
}
