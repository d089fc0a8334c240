// Jobs whose files cannot be read or written as the job asks: files the user
// may not read, a folder where a file should be, an output file on a full
// device, an output file that reaches the largest size the system allows, a
// symbolic link planted at an output's name, an output folder that cannot be
// made, and two runs that write the same outputs at once.
// Each runs the built program in a job folder of its own and checks the
// report, the exit status and every file left behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/job_runner.hpp"
#include "support/programs.hpp"
#include "support/records_of.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::testing {
namespace {

namespace fs = std::filesystem;

// The first `count` CR LF records of `bytes`.
std::string first_records(std::string_view bytes, std::size_t count) {
  std::string out;
  for (const std::string_view record : records_of(bytes)) {
    if (count-- == 0) break;
    out.append(record).append("\r\n");
  }
  return out;
}

// The bytes up to and including the first occurrence of `record` and its
// CR LF.
std::string through_record(std::string_view bytes, std::string_view record) {
  const std::size_t at = bytes.find(std::string(record) + "\r\n");
  if (at == std::string_view::npos) return "(record not found: " + std::string(record) + ")";
  return std::string(bytes.substr(0, at + record.size() + 2));
}

struct Outcome {
  int status = -1;
  std::string stderr_text;  // the job folder shown as <DIR>
};

// A job folder, open to a run under another user, inside a scratch folder.
class JobFolder {
 public:
  JobFolder() : dir_(scratch_ / "job") {
    fs::create_directory(dir_);
    fs::permissions(scratch_.path(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::permissions(dir_, fs::perms::all);
  }

  const fs::path& dir() const { return dir_; }

  // Why a run under another user cannot be tried here, or nothing when it
  // can. As root the run is made under an unprivileged user, which must be
  // able to enter every folder above the job folder; the program is copied
  // into the folder for it, as the build folder may lie where that user
  // cannot go (root's home, a folder made by mktemp -d).
  std::optional<std::string> other_user_unavailable() const {
    if (::geteuid() != 0) return std::nullopt;  // the run is the user's own
    for (fs::path folder = scratch_.path(); ; folder = folder.parent_path()) {
      struct stat info {};
      if (::stat(folder.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
        return "an unprivileged user cannot enter " + folder.string() +
               ", above the scratch folder; set TMPDIR to a folder open to all users";
      }
      if (folder == folder.parent_path()) return std::nullopt;
    }
  }
  fs::path operator/(const std::string& name) const { return dir_ / name; }

  // Copies the input files of a fixture job into the folder.
  void take_input(const std::string& fixture) const {
    for (const auto& entry : fs::directory_iterator(fixtures_folder() / fixture / "input")) {
      fs::copy_file(entry.path(), dir_ / entry.path().filename());
      fs::permissions(dir_ / entry.path().filename(),
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                          fs::perms::others_read);
    }
  }

  Outcome run(std::string_view answers, const RunOptions& limits = {}) const {
    return run_with({}, answers, limits);
  }

  // A run with command-line arguments (and answers, should it ask).
  Outcome run_with(const std::vector<std::string>& arguments, std::string_view answers = {},
                   const RunOptions& limits = {}) const {
    fs::path program = metclust_program();
    if (limits.as_other_user && ::geteuid() == 0) {
      program = scratch_.path() / "metclust";
      fs::copy_file(metclust_program(), program, fs::copy_options::overwrite_existing);
      fs::permissions(program, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    }
    const RunOutcome run = run_program(program, arguments, dir_, answers, limits);
    Outcome result;
    result.status = run.signal == 0 ? run.status : 1000 + run.signal;
    result.stderr_text = run.err;
    for (std::size_t at; (at = result.stderr_text.find(dir_.string())) != std::string::npos;) {
      result.stderr_text.replace(at, dir_.string().size(), "<DIR>");
    }
    return result;
  }

 private:
  ScratchFolder scratch_;
  fs::path dir_;
};

constexpr std::string_view kDefaultJob = "Y\nJOB\n6\n";

RunOptions as_other_user() {
  RunOptions limits;
  limits.as_other_user = true;
  return limits;
}

TEST(UnreadableFiles, AreRefusedWithTheirReportBeforeAnyOutputFileIsMade) {
  struct Case {
    const char* what;
    void (*prepare)(const JobFolder&);
    int status;
    const char* report;
  };
  const Case cases[] = {
      {"an .EMA file its user may not read",
       [](const JobFolder& job) { fs::permissions(job / "JOB.EMA", fs::perms::none); }, 9,
       "forrtl: severe (9): permission to access file denied, unit 20, file <DIR>/JOB.EMA\r\n"},
      {"a .NAQ file its user may not read",
       [](const JobFolder& job) { fs::permissions(job / "JOB.NAQ", fs::perms::none); }, 9,
       "forrtl: severe (9): permission to access file denied, unit 21, file <DIR>/JOB.NAQ\r\n"},
      {"a folder named as the .EMA file",
       [](const JobFolder& job) {
         fs::remove(job / "JOB.EMA");
         fs::create_directory(job / "JOB.EMA");
       },
       30, "forrtl: severe (30): open failure, unit 20, file <DIR>/JOB.EMA\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JobFolder job;
    if (const auto reason = job.other_user_unavailable()) GTEST_SKIP() << *reason;
    job.take_input("two_years");
    c.prepare(job);
    const Outcome run = job.run(kDefaultJob, as_other_user());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.stderr_text, c.report);
    for (const char* output : {"JOB.SCL", "JOB.CLS", "JOB.PCL"}) {
      EXPECT_FALSE(fs::exists(job / output)) << output;
    }
  }
}

TEST(UnreadableFiles, AnOutputFileItsUserMayNotWriteKeepsItsContent) {
  JobFolder job;
  if (const auto reason = job.other_user_unavailable()) GTEST_SKIP() << *reason;
  job.take_input("two_years");
  write_bytes(job / "JOB.CLS", "values of an earlier run\r\n");
  fs::permissions(job / "JOB.CLS", fs::perms::owner_read | fs::perms::others_read);
  const Outcome run = job.run(kDefaultJob, as_other_user());
  EXPECT_EQ(run.status, 9);
  EXPECT_EQ(run.stderr_text,
            "forrtl: severe (9): permission to access file denied, unit 23, file <DIR>/JOB.CLS\r\n");
  EXPECT_EQ(read_bytes(job / "JOB.CLS"), "values of an earlier run\r\n");
  EXPECT_EQ(read_bytes(job / "JOB.SCL"), "");  // connected, never written
  EXPECT_FALSE(fs::exists(job / "JOB.PCL"));
}

// The job two_years with one of its output files on a device that is always
// full (typed as that output's name): the run ends at the first record
// refused there, and every record written before it to the other files is in
// place, byte for byte as in a run that succeeds.
TEST(FullDevice, EndsTheRunAtTheFirstRefusedRecordAndKeepsWhatWasWritten) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  const fs::path expected = fixtures_folder() / "two_years" / "expected";
  const std::string SCL = read_bytes(expected / "JOB.SCL");
  const std::string CLS = read_bytes(expected / "JOB.CLS");
  const std::string kOld = "records of an earlier run\r\n";
  struct Case {
    const char* full;  // the file that lies on the full device
    int unit;
    std::string SCL, CLS, PCL;  // what the other files hold afterwards
  };
  const Case cases[] = {
      // The run summary is the first record of the run.
      {"JOB.SCL", 22, "", kOld, kOld},
      // The count line follows the seven summary lines.
      {"JOB.CLS", 23, first_records(SCL, 7), "", kOld},
      // The first plot record follows the first year's fusions.
      {"JOB.PCL", 24, through_record(SCL, " Calculate dendrogram"),
       through_record(CLS, "      4 +   2 =   5   0.30000000E+01"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.full);
    JobFolder job;
    job.take_input("two_years");
    for (const char* output : {"JOB.SCL", "JOB.CLS", "JOB.PCL"}) write_bytes(job / output, kOld);
    // The names typed at the dialogue, the full device in the place of one.
    std::string answers = "N\nJOB.EMA\nJOB.NAQ\n";
    for (const char* output : {"JOB.SCL", "JOB.CLS", "JOB.PCL"}) {
      answers += output == std::string_view(c.full) ? "/dev/full\n" : std::string(output) + "\n";
    }
    const Outcome run = job.run(answers + "6\n");
    EXPECT_EQ(run.status, 38);
    EXPECT_EQ(run.stderr_text, "forrtl: severe (38): error during write, unit " +
                                   std::to_string(c.unit) + ", file /dev/full\r\n");
    EXPECT_EQ(read_bytes(job / c.full), kOld);  // never connected
    for (const auto& [name, bytes] :
         {std::pair{"JOB.SCL", &c.SCL}, std::pair{"JOB.CLS", &c.CLS}, std::pair{"JOB.PCL", &c.PCL}}) {
      if (name != std::string_view(c.full)) {
        EXPECT_EQ(read_bytes(job / name), *bytes) << name;
      }
    }
  }
}

// A file that reaches the largest size allowed takes only part of the record
// that crosses the limit; that part is removed again, so that the file ends
// with the last whole record.
TEST(FileSizeLimit, LeavesNoPartOfTheRefusedRecord) {
  const fs::path expected = fixtures_folder() / "two_years" / "expected";
  JobFolder job;
  job.take_input("two_years");
  // 13 records (674 bytes) fit; the 14th, the first line of the option echo,
  // would end at byte 727.
  RunOptions limits;
  limits.file_size = 700;
  const Outcome run = job.run(kDefaultJob, limits);
  EXPECT_EQ(run.status, 38);
  EXPECT_EQ(run.stderr_text, "forrtl: severe (38): error during write, unit 22, file <DIR>/JOB.SCL\r\n");
  const std::string SCL = read_bytes(job / "JOB.SCL");
  EXPECT_EQ(SCL.size(), 674u);
  EXPECT_EQ(SCL, first_records(read_bytes(expected / "JOB.SCL"), 13));
  EXPECT_EQ(read_bytes(job / "JOB.CLS"), first_records(read_bytes(expected / "JOB.CLS"), 2));
  EXPECT_EQ(read_bytes(job / "JOB.PCL"), "");
}

// A link planted at an output's name, to a file of the user's or to none:
// the run ends with report 96 on that channel and nothing is written through
// it; the outputs before it are connected (made) but not written.
TEST(PlantedLinks, AreNotWrittenThroughButRefusedWithReport96) {
  struct Case {
    const char* output;
    int unit;
    const char* target;  // in the scratch folder above the job's
    bool target_exists;
  };
  const Case cases[] = {
      {"JOB.SCL", 22, "passwd", true},
      {"JOB.PCL", 24, "made-through-the-link", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    JobFolder job;
    job.take_input("two_years");
    const fs::path target = job.dir().parent_path() / c.target;
    if (c.target_exists) write_bytes(target, "root:x:0:0:root:/root:/bin/sh\n");
    fs::create_symlink(target, job / c.output);
    const Outcome run = job.run(kDefaultJob);
    EXPECT_EQ(run.status, 96);
    EXPECT_EQ(run.stderr_text,
              "forrtl: severe (96): output file is a symbolic link, which is not written through, unit " +
                  std::to_string(c.unit) + ", file <DIR>/" + c.output + "\r\n");
    EXPECT_TRUE(fs::is_symlink(job / c.output));
    if (c.target_exists) {
      EXPECT_EQ(read_bytes(target), "root:x:0:0:root:/root:/bin/sh\n");
    } else {
      EXPECT_FALSE(fs::exists(target));
    }
    EXPECT_EQ(read_bytes(job / "JOB.EMA"), read_bytes(fixtures_folder() / "two_years" / "input" / "JOB.EMA"));
  }
}

// metclust -o DIR with a DIR that cannot be made: the report of the reason
// on channel 22, naming the folder; nothing is written anywhere. A file in
// the way gives 43 as it does for an output file's name, a folder the user
// may not write in 9.
TEST(OutputFolder, ThatCannotBeMadeGetsTheReportOfItsReason) {
  struct Case {
    const char* what;
    const char* folder;
    int status;
    const char* report;
  };
  const Case cases[] = {
      {"a file in the way", "plain/out", 43, "file name specification error"},
      {"a folder the user may not write in", "locked/out", 9, "permission to access file denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JobFolder job;
    if (const auto reason = job.other_user_unavailable()) GTEST_SKIP() << *reason;
    job.take_input("two_years");
    write_bytes(job / "plain", "a file\n");
    fs::create_directory(job / "locked");
    fs::permissions(job / "locked", fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    const Outcome run = job.run_with({"-q", "-s", "3", "-o", c.folder, "JOB"}, {}, as_other_user());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.stderr_text, "forrtl: severe (" + std::to_string(c.status) + "): " + c.report +
                                   ", unit 22, file <DIR>/" + c.folder + "\r\n");
    std::set<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(job.dir())) {
      left.insert(entry.path().lexically_relative(job.dir()).string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"JOB.EMA", "JOB.NAQ", "locked", "plain"}));
  }
}

// Starts metclust with `arguments` in `folder`, its standard error into
// `err`, and returns at once.
pid_t start_metclust(const fs::path& folder, const std::vector<std::string>& arguments,
                     const fs::path& err) {
  std::vector<std::string> words{metclust_program().string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int to = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (to < 0 || ::dup2(to, 2) < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
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

// Two runs of one job with two strategies, started together, over and over:
// the second waits for the first, both end normally, and the outputs are
// always the whole set of one of them, never records of both. (Without the
// locks most rounds mix the two.)
TEST(TwoRunsAtOnce, LeaveTheOutputsOfOneOfThemWhole) {
  const fs::path examples = fs::path(METCLUST_SOURCE_DIR) / "examples";
  JobFolder job;
  for (const char* extension : {".EMA", ".NAQ"}) {
    fs::copy_file(examples / (std::string("TRIAL") + extension), job / (std::string("TRIAL") + extension));
  }
  const std::vector<std::string> outputs = {"TRIAL.SCL", "TRIAL.CLS", "TRIAL.PCL"};
  std::map<std::string, std::vector<std::string>> alone;
  for (const char* strategy : {"1", "2"}) {
    const std::string folder = std::string("alone-") + strategy;
    ASSERT_EQ(job.run_with({"-q", "-s", strategy, "-o", folder, "TRIAL"}).status, 0);
    for (const std::string& output : outputs) alone[strategy].push_back(read_bytes(job / folder / output));
  }
  const fs::path streams = job.dir().parent_path();
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const pid_t one = start_metclust(job.dir(), {"-q", "-s", "1", "TRIAL"}, streams / "err-1");
    const pid_t two = start_metclust(job.dir(), {"-q", "-s", "2", "TRIAL"}, streams / "err-2");
    EXPECT_EQ(exit_status_of(one), 0);
    EXPECT_EQ(exit_status_of(two), 0);
    EXPECT_EQ(read_bytes(streams / "err-1") + read_bytes(streams / "err-2"), "");
    std::vector<std::string> now;
    for (const std::string& output : outputs) now.push_back(read_bytes(job / output));
    EXPECT_TRUE(now == alone["1"] || now == alone["2"]) << "the outputs mix the two runs";
  }
}

}  // namespace
}  // namespace metclust::testing
