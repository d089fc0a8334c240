// How the companion programs put their outputs in place when a user's folder
// is not quiet: two runs writing the same outputs at once, and an output
// file the user has made read-only. Each runs the built programs on a job
// that metclust has run.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/job_files.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::exporting {
namespace {

namespace fs = std::filesystem;
using metclust::testing::ScratchFolder;
namespace support = metclust::testing;

std::map<std::string, std::string> files_in(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename()] =
        entry.is_directory() ? "(a folder)" : support::read_bytes(entry.path());
  }
  return files;
}

// A job of many years, so that a run has many files to put in place.
std::vector<support::YearInput> many_years() {
  std::vector<support::YearInput> years;
  for (int year = 1960; year < 1990; ++year) {
    years.push_back(support::scattered(year, 9, static_cast<std::uint32_t>(year)));
  }
  return years;
}

// Starts `program` with `arguments` in `folder`, its standard streams into
// the files `streams`.out and .err, and returns at once.
pid_t start(const fs::path& program, const std::vector<std::string>& arguments,
            const fs::path& folder, const fs::path& streams) {
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string out = streams.string() + ".out", err = streams.string() + ".err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int to_out = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int to_err = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (to_out < 0 || to_err < 0 || ::dup2(to_out, 1) < 0 || ::dup2(to_err, 2) < 0 ||
        ::chdir(folder.c_str()) != 0) {
      ::_exit(127);
    }
    ::alarm(120);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int exit_status_of(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// Two runs of metclust-plot and of metclust-export on one job at once, into
// one folder, over and over: both end normally, every output is there with
// the bytes of a run alone, and nothing of theirs is left beside them.
TEST(OutputsInPlace, TwoRunsAtOnceLeaveOneWholeSet) {
  ScratchFolder scratch;
  const fs::path job = scratch.path() / "job";
  fs::create_directory(job);
  ASSERT_EQ(support::run_job(job, "Many years", many_years(), 3).status, 0);
  const std::map<std::string, std::string> inputs = files_in(job);
  struct Program {
    fs::path path;
    std::vector<std::string> arguments;
  };
  const Program programs[] = {{support::plot_program(), {"-o", "out", "JOB"}},
                              {support::export_program(), {"-g", "3", "-o", "out", "JOB"}}};
  for (const Program& program : programs) {
    SCOPED_TRACE(program.path.filename().string());
    fs::remove_all(job / "out");
    ASSERT_EQ(support::run_program(program.path, program.arguments, job).status, 0);
    const std::map<std::string, std::string> alone = files_in(job / "out");
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      const pid_t one = start(program.path, program.arguments, job, scratch.path() / "one");
      const pid_t two = start(program.path, program.arguments, job, scratch.path() / "two");
      EXPECT_EQ(exit_status_of(one), 0) << support::read_bytes(scratch.path() / "one.err");
      EXPECT_EQ(exit_status_of(two), 0) << support::read_bytes(scratch.path() / "two.err");
      EXPECT_EQ(files_in(job / "out"), alone);
    }
    EXPECT_EQ(files_in(job).size(), inputs.size() + 1);  // the job's files and out/
  }
}

// metclust-plot killed at moments spread over its run, while it replaces the
// pictures of an earlier run with others: every picture is then the old one
// or the new one, whole, and none is missing; what the killed run left is
// gone after the next run, which leaves exactly its own files.
TEST(OutputsInPlace, AKilledRunLeavesWholeFilesAndTheNextClearsUp) {
  ScratchFolder scratch;
  const fs::path job = scratch.path() / "job";
  fs::create_directory(job);
  ASSERT_EQ(support::run_job(job, "Many years", many_years(), 3).status, 0);
  const std::vector<std::string> old_run = {"-o", "out", "JOB"};
  const std::vector<std::string> new_run = {"--groups", "3", "-o", "out", "JOB"};
  ASSERT_EQ(support::run_program(support::plot_program(), new_run, job).status, 0);
  const std::map<std::string, std::string> new_set = files_in(job / "out");
  const auto start_time = std::chrono::steady_clock::now();
  ASSERT_EQ(support::run_program(support::plot_program(), old_run, job).status, 0);
  const auto run_time = std::chrono::steady_clock::now() - start_time;
  const std::map<std::string, std::string> old_set = files_in(job / "out");
  ASSERT_EQ(old_set.size(), new_set.size());
  for (int step = 0; step < 8; ++step) {
    SCOPED_TRACE("killed after " + std::to_string(step) + "/8 of a run");
    const pid_t run = start(support::plot_program(), new_run, job, scratch.path() / "killed");
    ::usleep(static_cast<useconds_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(run_time * step / 8).count()));
    ::kill(run, SIGKILL);
    exit_status_of(run);
    for (const auto& [name, old_bytes] : old_set) {
      const std::string now = support::read_bytes(job / "out" / name);
      EXPECT_TRUE(now == old_bytes || now == new_set.at(name)) << name << " is neither file whole";
    }
    ASSERT_EQ(support::run_program(support::plot_program(), old_run, job).status, 0);
    EXPECT_EQ(files_in(job / "out"), old_set);
  }
}

// An output file that the user may not write is not replaced: the run is
// refused with the system's reason, as metclust refuses it, and writes
// nothing. As root the run is made under the unprivileged user nobody.
TEST(OutputsInPlace, AReadOnlyOutputIsRefusedNotReplaced) {
  ScratchFolder scratch;
  const fs::path job = scratch.path() / "job";
  fs::create_directory(job);
  ASSERT_EQ(support::run_job(job, "Two years", {support::scattered(1991, 5, 1),
                                                support::scattered(1992, 6, 2)}, 3).status, 0);
  ASSERT_EQ(support::run_program(support::export_program(), {"JOB"}, job).status, 0);
  const std::map<std::string, std::string> before = files_in(job);
  ASSERT_TRUE(before.count("JOB-1992.nwk") == 1);
  support::write_bytes(job / "JOB-1992.nwk", "kept\n");
  fs::permissions(job / "JOB-1992.nwk",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::path program = support::export_program();
  metclust::testing::RunOptions limits;
  constexpr fs::perms exec_bits = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  if (::geteuid() == 0) {
    // The unprivileged user must reach the program and write in the folder.
    for (fs::path folder = scratch.path().parent_path(); folder != folder.parent_path();
         folder = folder.parent_path()) {
      if ((fs::status(folder).permissions() & fs::perms::others_exec) == fs::perms::none) {
        GTEST_SKIP() << "an unprivileged user cannot enter " << folder;
      }
    }
    program = scratch.path() / "metclust-export";
    fs::copy_file(support::export_program(), program);
    fs::permissions(scratch.path(), fs::perms::all);
    fs::permissions(job, fs::perms::all);
    for (const auto& [name, bytes] : before) {
      if (name != "JOB-1992.nwk") fs::permissions(job / name, fs::perms::all & ~exec_bits);
    }
    limits.as_other_user = true;
  }
  const auto run = support::run_program(program, {"JOB"}, job, {}, limits);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "metclust-export: JOB-1992.nwk: may not be written (" +
                         std::generic_category().message(EACCES) + "), so it is not replaced\n");
  EXPECT_EQ(run.out, "");
  std::map<std::string, std::string> after = before;
  after["JOB-1992.nwk"] = "kept\n";
  EXPECT_EQ(files_in(job), after);
}

}  // namespace
}  // namespace metclust::exporting
