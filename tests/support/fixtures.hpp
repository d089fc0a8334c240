// The runner of the fixture jobs. Each folder of tests/fixtures holds the
// console answers (answers), the job's input files (input/) and the exact
// bytes expected after the run (expected/): on the console (stdout), on the
// error stream (stderr, with the job folder shown as <DIR>), as exit status
// (status) and in every file of the job folder. The same runner serves every
// build: the Linux suite runs the built metclust through it, and `make
// test-windows` runs metclust.exe with Wine as its launcher (run_fixtures).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace metclust::testing {

// The fixture jobs in `folder`: its sub-folders that hold an answers file,
// by name.
std::vector<std::string> fixture_names(const std::filesystem::path& folder);

// A change to one input file of a fixture job, made to the file the run
// starts from and to its expected copy alike (the program never changes its
// input files).
struct InputEdit {
  std::string file;
  std::string from;
  std::string to;
};

struct FixtureRun {
  // Each difference from the expected bytes, with where it is; none when the
  // run matched.
  std::vector<std::string> problems;
  // Why the job does not run on the program's system; empty when it ran.
  std::string skipped;
  // The job folder of the run, left in place when anything differs.
  std::filesystem::path job_folder;
};

// Runs the fixture job in a fresh job folder with `program`, started through
// `launcher` when one is given (see RunOptions::launcher), and compares what
// the run leaves with the expected bytes.
//
// A program whose name ends in .exe is a Windows program: its error stream
// shows the job folder as Windows spells it on Wine's drive Z: (Z:\tmp\...),
// which is then shown as <DIR> with the separators after it as /; Wine hands
// on only the low 8 bits of its exit status, so the job runs a second time
// through cmd, which shows the whole status (0xC0000000 plus the report
// number, or 0); and a fixture that holds a file not-on-windows is skipped,
// with the reason that file gives.
FixtureRun run_fixture(const std::filesystem::path& fixture, const std::filesystem::path& program,
                       const std::vector<std::string>& launcher = {}, const InputEdit* edit = nullptr);

// Empty when the two are byte for byte the same; otherwise names the first
// line (counted from 1, split at LF) where they part, with both versions.
std::string first_difference(std::string_view expected, std::string_view actual);

}  // namespace metclust::testing
