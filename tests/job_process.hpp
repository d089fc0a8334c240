// Runs a built program as its own process, in a folder of the test's
// choosing, with bytes on its standard input; what it writes to its output
// streams and its exit status are kept. Used to let the real metclust read
// the jobs that the companion programs write or check.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace metclust::testing {

struct ProcessResult {
  int status = -1;  // the exit status, or -1 when the process did not exit
  std::string out, err;
};

inline std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `program` with `arguments` in `folder`; `input` is its standard input.
// The streams pass through files beside `folder`.
inline ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::filesystem::path& folder, const std::string& input) {
  const std::filesystem::path in_file = folder / ".stdin", out_file = folder / ".stdout",
                              err_file = folder / ".stderr";
  std::ofstream(in_file, std::ios::binary) << input;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(in_file.c_str(), O_RDONLY);
    const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(folder.c_str()) != 0) {
      ::_exit(127);
    }
    ::alarm(60);  // a hang ends the process instead of the suite
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ProcessResult result;
  int wait_status = 0;
  if (pid > 0 && ::waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
    result.status = WEXITSTATUS(wait_status);
  }
  result.out = file_bytes(out_file);
  result.err = file_bytes(err_file);
  for (const auto& path : {in_file, out_file, err_file}) std::filesystem::remove(path);
  return result;
}

// A metclust run of the job JOB in `folder` with the default file names and
// the strategy answer given.
inline ProcessResult run_metclust(const std::filesystem::path& folder, const std::string& job, int strategy) {
  return run_process(METCLUST_BINARY, {}, folder, "Y\n" + job + "\n" + std::to_string(strategy) + "\n");
}

}  // namespace metclust::testing
