// Jobs whose files cannot be read or written as the job asks: files the user
// may not read, a folder where a file should be, an output file on a full
// device and an output file that reaches the largest size the system allows.
// Each runs the built program in a job folder of its own and checks the
// report, the exit status and every file left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
    fs::path program = metclust_program();
    if (limits.as_other_user && ::geteuid() == 0) {
      program = scratch_.path() / "metclust";
      fs::copy_file(metclust_program(), program, fs::copy_options::overwrite_existing);
      fs::permissions(program, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    }
    const RunOutcome run = run_program(program, {}, dir_, answers, limits);
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
// full: the run ends at the first record refused there, and every record
// written before it to the other files is in place, byte for byte as in a
// run that succeeds.
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
    fs::remove(job / c.full);
    fs::create_symlink("/dev/full", job / c.full);
    const Outcome run = job.run(kDefaultJob);
    EXPECT_EQ(run.status, 38);
    EXPECT_EQ(run.stderr_text, "forrtl: severe (38): error during write, unit " +
                                   std::to_string(c.unit) + ", file <DIR>/" + c.full + "\r\n");
    EXPECT_TRUE(fs::is_symlink(job / c.full));
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

}  // namespace
}  // namespace metclust::testing
