// Whole jobs, run through the built program: each folder of tests/fixtures
// holds the console answers, the job's input files and the exact bytes
// expected on the console, on the error stream, as exit status and in every
// file of the job folder after the run.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures{METCLUST_FIXTURES};
const fs::path kBinary{METCLUST_BINARY};

// Names in expected/ that describe the run rather than a file of the job.
constexpr std::string_view kRunFacts[] = {"stdout", "stderr", "status"};

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Shows a line with its CR and other control bytes visible.
std::string visible(std::string_view line) {
  std::string out;
  for (char c : line) {
    if (c == '\r') {
      out += "\\r";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string_view> split_lines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Empty when the two are byte for byte the same; otherwise names the first
// line (counted from 1, split at LF) where they part, with both versions.
std::string first_difference(std::string_view expected, std::string_view actual) {
  if (expected == actual) return {};
  const auto want = split_lines(expected);
  const auto got = split_lines(actual);
  const std::size_t common = std::min(want.size(), got.size());
  std::size_t line = 0;
  while (line < common && want[line] == got[line]) ++line;
  std::ostringstream msg;
  msg << "first difference at line " << line + 1 << "\n  expected: ";
  if (line < want.size()) {
    msg << '"' << visible(want[line]) << '"';
  } else {
    msg << "(no more lines)";
  }
  msg << "\n  actual:   ";
  if (line < got.size()) {
    msg << '"' << visible(got[line]) << '"';
  } else {
    msg << "(no more lines)";
  }
  if (line == common && want.size() == got.size()) {
    // Same lines; only the presence of a final LF differs.
    msg << "\n  (the files differ in their last line end)";
  }
  return msg.str();
}

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
  if (from.empty()) return text;
  std::size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
  return text;
}

std::map<std::string, std::string> files_in(const fs::path& dir, bool skip_run_facts) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (skip_run_facts &&
        std::find(std::begin(kRunFacts), std::end(kRunFacts), name) != std::end(kRunFacts)) {
      continue;
    }
    files[name] = entry.is_regular_file() ? read_bytes(entry.path()) : "(not a regular file)";
  }
  return files;
}

struct RunResult {
  std::string stdout_bytes;
  std::string stderr_bytes;
  std::string status;  // decimal exit status and LF, or a description of the signal
};

// Runs the program in job_dir with answers on its standard input and both
// output streams captured in files beside job_dir.
RunResult run_program(const fs::path& job_dir, const fs::path& answers) {
  const fs::path out_file = job_dir.parent_path() / "captured-stdout";
  const fs::path err_file = job_dir.parent_path() / "captured-stderr";
  const pid_t pid = fork();
  if (pid < 0) {
    ADD_FAILURE() << "fork failed: " << std::strerror(errno);
    return {};
  }
  if (pid == 0) {
    const int in = open(answers.c_str(), O_RDONLY);
    const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
        dup2(err, 2) < 0 || chdir(job_dir.c_str()) != 0) {
      _exit(127);
    }
    // A run that hangs is ended by the alarm rather than stalling the suite.
    alarm(60);
    execl(kBinary.c_str(), kBinary.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int wait_status = 0;
  while (waitpid(pid, &wait_status, 0) < 0) {
    if (errno != EINTR) {
      ADD_FAILURE() << "waitpid failed: " << std::strerror(errno);
      return {};
    }
  }
  RunResult result;
  result.stdout_bytes = read_bytes(out_file);
  result.stderr_bytes = read_bytes(err_file);
  if (WIFEXITED(wait_status)) {
    result.status = std::to_string(WEXITSTATUS(wait_status)) + "\n";
  } else if (WIFSIGNALED(wait_status)) {
    result.status = "killed by signal " + std::to_string(WTERMSIG(wait_status)) + "\n";
  } else {
    result.status = "unknown wait status\n";
  }
  return result;
}

// A fresh scratch folder under the system's temporary directory; removed
// again unless the job failed, so that its files can be looked at.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "metclust-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    root_ = fs::canonical(pattern);
  }
  ~Scratch() {
    if (keep_) return;
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const fs::path& root() const { return root_; }
  void keep() { keep_ = true; }

 private:
  fs::path root_;
  bool keep_ = false;
};

std::vector<std::string> fixture_names() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(kFixtures, ec)) {
    if (entry.is_directory() && fs::exists(entry.path() / "answers")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, RunMatchesExpectedBytes) {
  const fs::path fixture = kFixtures / GetParam();
  const fs::path expected_dir = fixture / "expected";
  ASSERT_TRUE(fs::is_directory(expected_dir)) << expected_dir;

  Scratch scratch;
  const fs::path job_dir = scratch.root() / "job";
  fs::create_directory(job_dir);
  if (fs::is_directory(fixture / "input")) {
    fs::copy(fixture / "input", job_dir, fs::copy_options::recursive);
  }

  const RunResult run = run_program(job_dir, fixture / "answers");
  const std::string stderr_text = replace_all(run.stderr_bytes, job_dir.string(), "<DIR>");

  const std::string where = "job folder of this run: " + job_dir.string();
  const auto expect_same = [&where](std::string_view what, std::string_view expected,
                                    std::string_view actual) {
    const std::string diff = first_difference(expected, actual);
    if (!diff.empty()) ADD_FAILURE() << what << ": " << diff << "\n" << where;
  };
  expect_same("exit status", read_bytes(expected_dir / "status"), run.status);
  expect_same("standard output", read_bytes(expected_dir / "stdout"), run.stdout_bytes);
  expect_same("standard error", read_bytes(expected_dir / "stderr"), stderr_text);

  const auto want = files_in(expected_dir, true);
  const auto got = files_in(job_dir, false);
  for (const auto& [name, bytes] : want) {
    const auto found = got.find(name);
    if (found == got.end()) {
      ADD_FAILURE() << "missing file " << name << "\n" << where;
    } else {
      expect_same("file " + name, bytes, found->second);
    }
  }
  for (const auto& [name, bytes] : got) {
    if (want.find(name) == want.end()) {
      ADD_FAILURE() << "unexpected file " << name << " (" << bytes.size() << " bytes)\n" << where;
    }
  }
  if (HasFailure()) scratch.keep();
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EndToEnd, ::testing::ValuesIn(fixture_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(EndToEndRunner, FindsTheFixtureFolders) {
  // An empty list would leave the parameterized suite without a single job.
  EXPECT_FALSE(fixture_names().empty()) << "no fixture folders under " << kFixtures;
}

TEST(EndToEndRunner, NamesTheFirstDifferingLine) {
  struct Case {
    std::string_view expected;
    std::string_view actual;
    std::string_view shows;  // empty: no difference expected
  };
  const Case cases[] = {
      {"a\r\nb\r\n", "a\r\nb\r\n", ""},
      {"a\r\nb\r\nc\r\n", "a\r\nB\r\nc\r\n", "line 2\n  expected: \"b\\r\"\n  actual:   \"B\\r\""},
      {"a\r\nb\r\n", "a\r\n", "line 2\n  expected: \"b\\r\"\n  actual:   (no more lines)"},
      {"a\r\n", "a\n", "line 1\n  expected: \"a\\r\"\n  actual:   \"a\""},
      {"a\r\n", "a\r", "last line end"},
      {"", "x", "line 1\n  expected: (no more lines)"},
  };
  for (const Case& c : cases) {
    const std::string diff = first_difference(c.expected, c.actual);
    if (c.shows.empty()) {
      EXPECT_EQ("", diff);
    } else {
      EXPECT_NE(std::string::npos, diff.find(c.shows)) << diff;
    }
  }
}

}  // namespace
