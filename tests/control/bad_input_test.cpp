// Jobs whose files cannot be read or written as the job asks: files the user
// may not read, a folder where a file should be, an output file on a full
// device and an output file that reaches the largest size the system allows.
// Each runs the built program in a job folder of its own and checks the
// report, the exit status and every file left behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures{METCLUST_FIXTURES};
const fs::path kBinary{METCLUST_BINARY};

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_bytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// The first `count` CR LF records of `bytes`.
std::string first_records(std::string_view bytes, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t crlf = bytes.find("\r\n", end);
    if (crlf == std::string_view::npos) return std::string(bytes);
    end = crlf + 2;
  }
  return std::string(bytes.substr(0, end));
}

// The bytes up to and including the first occurrence of `record` and its
// CR LF.
std::string through_record(std::string_view bytes, std::string_view record) {
  const std::size_t at = bytes.find(std::string(record) + "\r\n");
  if (at == std::string_view::npos) return "(record not found: " + std::string(record) + ")";
  return std::string(bytes.substr(0, at + record.size() + 2));
}

struct Limits {
  bool as_other_user = false;          // drop root to an unprivileged user
  std::optional<rlim_t> file_size;     // largest file the run may write
};

struct Outcome {
  int status = -1;
  std::string stderr_text;  // the job folder shown as <DIR>
};

class JobFolder {
 public:
  JobFolder() {
    std::string pattern = (fs::temp_directory_path() / "metclust-bad-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = fs::canonical(pattern);
    dir_ = root_ / "job";
    fs::create_directory(dir_);
    // Open to a run under another user.
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir_, fs::perms::all);
  }
  ~JobFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  JobFolder(const JobFolder&) = delete;
  JobFolder& operator=(const JobFolder&) = delete;

  const fs::path& dir() const { return dir_; }

  // Why a run under another user cannot be tried here, or nothing when it
  // can. As root the run is made under an unprivileged user, which must be
  // able to enter every folder above the job folder; the program is copied
  // into the folder for it, as the build folder may lie where that user
  // cannot go (root's home, a folder made by mktemp -d).
  std::optional<std::string> other_user_unavailable() const {
    if (::geteuid() != 0) return std::nullopt;  // the run is the user's own
    for (fs::path folder = root_; ; folder = folder.parent_path()) {
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
    for (const auto& entry : fs::directory_iterator(kFixtures / fixture / "input")) {
      fs::copy_file(entry.path(), dir_ / entry.path().filename());
      fs::permissions(dir_ / entry.path().filename(),
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                          fs::perms::others_read);
    }
  }

  Outcome run(std::string_view answers, const Limits& limits = {}) const {
    const fs::path answers_file = root_ / "answers";
    const fs::path err_file = root_ / "stderr";
    write_bytes(answers_file, answers);
    const bool drop_root = limits.as_other_user && ::geteuid() == 0;
    fs::path program = kBinary;
    if (drop_root) {
      program = root_ / "metclust";
      fs::copy_file(kBinary, program, fs::copy_options::overwrite_existing);
      fs::permissions(program, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    }
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
      const int in = ::open(answers_file.c_str(), O_RDONLY);
      const int out = ::open("/dev/null", O_WRONLY);
      const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
          ::dup2(err, 2) < 0 || ::chdir(dir_.c_str()) != 0) {
        ::_exit(127);
      }
      if (limits.file_size) {
        // As a user's shell starts it after `ulimit -f`: the signal of a
        // write past the limit in its default action, which ends the
        // process, unless the program itself ignores it.
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{*limits.file_size, *limits.file_size};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
      }
      if (drop_root) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(127);
      }
      ::alarm(60);
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int wait_status = 0;
    while (::waitpid(pid, &wait_status, 0) < 0) {
      if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    Outcome result;
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 1000 + WTERMSIG(wait_status);
    result.stderr_text = read_bytes(err_file);
    for (std::size_t at; (at = result.stderr_text.find(dir_.string())) != std::string::npos;) {
      result.stderr_text.replace(at, dir_.string().size(), "<DIR>");
    }
    return result;
  }

 private:
  fs::path root_;
  fs::path dir_;
};

constexpr std::string_view kDefaultJob = "Y\nJOB\n6\n";

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
    const Outcome run = job.run(kDefaultJob, {.as_other_user = true, .file_size = std::nullopt});
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
  const Outcome run = job.run(kDefaultJob, {.as_other_user = true, .file_size = std::nullopt});
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
  const fs::path expected = kFixtures / "two_years" / "expected";
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
  const fs::path expected = kFixtures / "two_years" / "expected";
  JobFolder job;
  job.take_input("two_years");
  // 13 records (674 bytes) fit; the 14th, the first line of the option echo,
  // would end at byte 727.
  const Outcome run = job.run(kDefaultJob, {.as_other_user = false, .file_size = 700});
  EXPECT_EQ(run.status, 38);
  EXPECT_EQ(run.stderr_text, "forrtl: severe (38): error during write, unit 22, file <DIR>/JOB.SCL\r\n");
  const std::string SCL = read_bytes(job / "JOB.SCL");
  EXPECT_EQ(SCL.size(), 674u);
  EXPECT_EQ(SCL, first_records(read_bytes(expected / "JOB.SCL"), 13));
  EXPECT_EQ(read_bytes(job / "JOB.CLS"), first_records(read_bytes(expected / "JOB.CLS"), 2));
  EXPECT_EQ(read_bytes(job / "JOB.PCL"), "");
}

}  // namespace
