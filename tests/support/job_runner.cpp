#include "support/job_runner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "support/scratch_folder.hpp"

namespace metclust::testing {

namespace {

// Reads both pipes until the program has closed them; reading them together
// keeps a program that fills one of them from waiting for the other.
void drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd pipes[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* into[2] = {&out, &err};
  int open_pipes = 2;
  char chunk[1 << 14];
  while (open_pipes > 0) {
    if (::poll(pipes, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    for (int k = 0; k < 2; ++k) {
      if (pipes[k].fd < 0 || pipes[k].revents == 0) continue;
      const ssize_t n = ::read(pipes[k].fd, chunk, sizeof chunk);
      if (n > 0) {
        into[k]->append(chunk, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(pipes[k].fd);
        pipes[k].fd = -1;
        --open_pipes;
      }
    }
  }
}

}  // namespace

std::string RunOutcome::status_line() const {
  if (signal != 0) return "killed by signal " + std::to_string(signal) + "\n";
  return std::to_string(status) + "\n";
}

RunOutcome run_program(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments,
                       const std::filesystem::path& folder, std::string_view input,
                       const RunOptions& options) {
  // Standard input comes from a file, so that the program meets its end of
  // file exactly where the bytes end, however it reads them.
  const ScratchFolder own;
  own.put("stdin", input);
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    throw std::runtime_error("pipe failed");
  }

  std::vector<std::string> words = options.launcher;
  words.push_back(program.string());
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string stdin_file = own.file("stdin");

  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(stdin_file.c_str(), O_RDONLY);
    if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out_pipe[1], 1) < 0 || ::dup2(err_pipe[1], 2) < 0 ||
        ::chdir(folder.c_str()) != 0) {
      ::_exit(127);
    }
    if (options.file_size) {
      // As a user's shell starts it after `ulimit -f`: the signal of a write
      // past the limit in its default action, which ends the process unless
      // the program itself ignores it.
      ::signal(SIGXFSZ, SIG_DFL);
      const rlimit limit{*options.file_size, *options.file_size};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    if (options.as_other_user && ::geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(127);
    }
    ::alarm(options.seconds);
    if (options.launcher.empty()) {
      ::execv(argv[0], argv.data());
    } else {
      ::execvp(argv[0], argv.data());
    }
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (pid < 0) {
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    throw std::runtime_error("fork failed");
  }

  RunOutcome outcome;
  drain(out_pipe[0], err_pipe[0], outcome.out, outcome.err);
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  if (WIFEXITED(wait_status)) {
    outcome.status = WEXITSTATUS(wait_status);
  } else if (WIFSIGNALED(wait_status)) {
    outcome.signal = WTERMSIG(wait_status);
  }
  return outcome;
}

}  // namespace metclust::testing
