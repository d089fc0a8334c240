// The companion programs as a shell starts them, against what a shell or a
// hostile file can do to them: standard output on a full disk, --help after
// other options, inputs that never end, a 10 MB field under a small limit on
// the address space, a folder that may not be searched. Each ends in one
// line on standard error and a status the caller can act on.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/job_runner.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kPrograms{METCLUST_PROGRAMS_DIR};

// Runs `program` of the project through sh -c `script`, in which "$@" is the
// program and its arguments.
RunOutcome shell(const std::string& script, const std::string& program, std::vector<std::string> arguments,
                 const fs::path& folder, const RunOptions& limits = {}) {
  arguments.insert(arguments.begin(), {"-c", script, "sh", (kPrograms / program).string()});
  return run_program("/bin/sh", arguments, folder, {}, limits);
}

RunOutcome run(const std::string& program, const std::vector<std::string>& arguments, const fs::path& folder,
               const RunOptions& limits = {}) {
  return shell("exec \"$@\"", program, arguments, folder, limits);
}

// A folder holding the job JOB, imported and clustered with strategy 3.
class JobFolder {
 public:
  JobFolder() {
    scratch_.put("pairs.csv",
                 "year,location_a,location_b,proximity\n1995,A,B,1\n1995,A,C,2\n1995,B,C,3\n"
                 "1996,A,B,2\n1996,A,C,1\n1996,B,C,4\n");
    const RunOutcome imported = run("metclust-import", {"--long", "pairs.csv", "JOB"}, path());
    const RunOutcome clustered = run("metclust", {"-q", "-s", "3", "JOB"}, path());
    ok_ = imported.status == 0 && clustered.status == 0;
  }
  const fs::path& path() const { return scratch_.path(); }
  const ScratchFolder& scratch() const { return scratch_; }
  bool ok() const { return ok_; }

 private:
  ScratchFolder scratch_;
  bool ok_ = false;
};

struct Call {
  std::string program;
  std::vector<std::string> arguments;
};

TEST(HostileIo, StandardOutputOnAFullDiskIsAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "this system has no /dev/full";
  JobFolder job;
  ASSERT_TRUE(job.ok());
  const Call calls[] = {
      {"metclust", {"--help"}},
      {"metclust", {"--version"}},
      {"metclust-import", {"--help"}},
      {"metclust-import", {"--force", "--long", "pairs.csv", "JOB"}},
      {"metclust-check", {"-V"}},
      {"metclust-check", {"JOB"}},
      {"metclust-export", {"--groups", "2", "JOB"}},
      {"metclust-plot", {"JOB"}},
      {"metclust-compare", {"--groups", "2", "JOB"}},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.program + " " + call.arguments.front());
    const RunOutcome full = shell("exec \"$@\" >/dev/full", call.program, call.arguments, job.path());
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, call.program + ": standard output cannot be written: No space left on device\n");
    // The same call with an output that takes it goes through.
    EXPECT_EQ(shell("exec \"$@\" >/dev/null", call.program, call.arguments, job.path()).status, 0);
  }
}

TEST(HostileIo, HelpAndVersionAfterOtherOptions) {
  const ScratchFolder folder;
  const Call calls[] = {
      {"metclust", {"-s", "3", "--help"}},
      {"metclust-import", {"--long", "pairs.csv", "--title", "T", "--help"}},
      {"metclust-check", {"--strict", "-h"}},
      {"metclust-export", {"--groups", "3", "-o", "out", "--help"}},
      {"metclust-plot", {"--same-scale", "--help"}},
      {"metclust-compare", {"--height", "1.5", "--help"}},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.program);
    const RunOutcome help = run(call.program, call.arguments, folder.path());
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_TRUE(help.out.starts_with("Usage: " + call.program)) << help.out;
    EXPECT_EQ(help.err, "");
    std::vector<std::string> version = call.arguments;
    version.back() = "--version";
    EXPECT_TRUE(run(call.program, version, folder.path()).out.starts_with(call.program + " 1.")) << call.program;
  }
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

// /dev/zero in the place of an input: one line, at once.
TEST(HostileIo, AnInputThatNeverEnds) {
  JobFolder job;
  ASSERT_TRUE(job.ok());
  fs::create_symlink("/dev/zero", job.path() / "zero.csv");
  fs::create_directory(job.path() / "Z");
  for (const char* name : {"JOB.EMA", "JOB.NAQ", "JOB.CLS"}) fs::copy_file(job.path() / name, job.path() / "Z" / name);
  fs::create_symlink("/dev/zero", job.path() / "Z" / "JOB.PCL");
  fs::create_directory(job.path() / "E");
  fs::copy_file(job.path() / "JOB.NAQ", job.path() / "E" / "JOB.NAQ");
  fs::create_symlink("/dev/zero", job.path() / "E" / "JOB.EMA");
  const std::string endless = ":1: the line is longer than 1 MiB, the longest line read: is this the file meant?\n";
  struct Case {
    Call call;
    std::string err;
  };
  const Case cases[] = {
      {{"metclust-import", {"--long", "zero.csv", "NEW"}}, "metclust-import: zero.csv" + endless},
      {{"metclust-import", {"--matrix", "1995=zero.csv", "NEW"}}, "metclust-import: zero.csv" + endless},
      {{"metclust-check", {"E/JOB"}}, "metclust-check: E/JOB.EMA" + endless},
      {{"metclust-export", {"--groups", "2", "Z/JOB"}}, "metclust-export: Z/JOB.PCL" + endless},
      {{"metclust-plot", {"Z/JOB"}}, "metclust-plot: Z/JOB.PCL" + endless},
      {{"metclust-compare", {"--groups", "2", "Z/JOB"}}, "metclust-compare: Z/JOB.PCL" + endless},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call.program);
    RunOptions limits;
    limits.seconds = 20;
    const RunOutcome outcome = run(c.call.program, c.call.arguments, job.path(), limits);
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, c.err);
  }
}

// Under `ulimit -v 80000` a field of 10 MB, on one line or over many, is
// refused by its size; a file that needs more memory than the limit leaves
// is refused by the memory it needs: one line and status 1 each, never
// std::bad_alloc and SIGABRT.
TEST(HostileIo, UnderASmallAddressSpaceLimit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than ulimit -v 80000 leaves";
#else
  ScratchFolder folder;
  const std::string header = "year,location_a,location_b,proximity\n";
  folder.put("one-line.csv", header + "1995,A," + std::string(10'000'000, 'B') + ",1\n");
  std::string lines(10'000'000, 'B');
  for (std::size_t at = 100; at < lines.size(); at += 100) lines[at] = '\n';
  folder.put("many-lines.csv", header + "1995,A,\"" + lines + "\",1\n");
  std::string rows = header;
  while (rows.size() < 48'000'000) rows += "1995,Wageningen,Zurich,1.5\n";
  folder.put("large.csv", rows);
  struct Case {
    std::string file;
    std::string err;
  };
  const Case cases[] = {
      {"one-line.csv", "one-line.csv:2: the line is longer than 1 MiB, the longest line read: is this the file meant?"},
      {"many-lines.csv",
       "many-lines.csv:2:8: a field longer than 65536 bytes (64 KiB), the longest read: no name or number is that long"},
      {"large.csv", "not enough memory to go on"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const RunOutcome outcome =
        shell("ulimit -v 80000 && exec \"$@\"", "metclust-import", {"--long", c.file, "JOB"}, folder.path());
    EXPECT_EQ(outcome.signal, 0);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "metclust-import: " + c.err + "\n");
    EXPECT_FALSE(folder.exists("JOB.EMA"));
  }
#endif
}

// A folder that may not be searched is not "no such file": the system's
// reason is given, for a file that may not be read as well.
TEST(HostileIo, AnInputThatMayNotBeReadSaysWhy) {
  ScratchFolder folder;
  fs::permissions(folder.path(), fs::perms::all);
  RunOptions limits;
  if (::geteuid() == 0) {
    limits.as_other_user = true;
    for (fs::path above = folder.path(); above != above.parent_path(); above = above.parent_path()) {
      struct stat info {};
      if (::stat(above.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
        GTEST_SKIP() << "an unprivileged user cannot enter " << above.string();
      }
    }
  }
  fs::create_directory(folder / "locked");
  folder.put("locked/JOB.EMA", "3 3 0 90 91\r\n");
  folder.put("JOB.EMA", "3 3 0 90 91\r\n");
  fs::permissions(folder / "locked", fs::perms::owner_all);
  fs::permissions(folder / "JOB.EMA", fs::perms::none);
  if (::geteuid() != 0) fs::permissions(folder / "locked", fs::perms::none);
  struct Case {
    std::string job;
    std::string err;
  };
  const Case cases[] = {
      {"locked/JOB", "locked/JOB.EMA: cannot be read: Permission denied"},
      {"JOB", "JOB.EMA: cannot be read: Permission denied"},
      {"missing/JOB", "missing/JOB.EMA: no such file"},
  };
  for (const Case& c : cases) {
    const RunOutcome outcome = run("metclust-check", {c.job}, folder.path(), limits);
    EXPECT_EQ(outcome.status, 1) << c.job;
    EXPECT_EQ(outcome.err, "metclust-check: " + c.err + "\n");
  }
  fs::permissions(folder / "locked", fs::perms::owner_all);
}

}  // namespace
}  // namespace metclust::testing
