// Runs a built program as a process of its own: in a folder given, with
// bytes given on its standard input, and both of its output streams and its
// exit status taken back; started directly or through a launcher.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace metclust::testing {

struct RunOptions {
  // The largest file the program may write, in bytes, with SIGXFSZ in its
  // default action as a shell leaves it: a write past it ends the process
  // unless the program ignores the signal itself.
  std::optional<unsigned long long> file_size;
  // When the tests run as root: the program runs as the unprivileged user
  // nobody, so that file permissions hold for it.
  bool as_other_user = false;
  // A run that takes longer is ended by SIGALRM instead of stalling the suite.
  unsigned seconds = 60;
  // A command that starts the program, with its arguments, as CMake's
  // CMAKE_CROSSCOMPILING_EMULATOR starts a cross-compiled test: {"wine"} for a
  // Windows program. Looked up on the PATH. Empty: the program is started
  // directly.
  std::vector<std::string> launcher;
};

struct RunOutcome {
  int status = -1;  // the exit status; -1 when the program did not exit by itself
  int signal = 0;   // the signal that ended it; 0 when none did
  std::string out;
  std::string err;

  // "N" and LF for exit status N, otherwise a line naming the signal.
  std::string status_line() const;
};

// Runs `program` with `arguments` in `folder`, `input` on its standard input.
// Nothing of the run's own is put into `folder`. Throws when no process can
// be started; a program or launcher that cannot be executed gives status 127.
RunOutcome run_program(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments,
                       const std::filesystem::path& folder, std::string_view input = {},
                       const RunOptions& options = {});

}  // namespace metclust::testing
