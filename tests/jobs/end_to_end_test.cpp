// Whole jobs, run through the built program: each folder of tests/fixtures
// holds the console answers, the job's input files and the exact bytes
// expected on the console, on the error stream, as exit status and in every
// file of the job folder after the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
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

// Names in expected/ that describe the run rather than a file of the job.
constexpr std::string_view kRunFacts[] = {"stdout", "stderr", "status"};

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

// Empty when the two are byte for byte the same; otherwise names the first
// line (counted from 1, split at LF) where they part, with both versions.
std::string first_difference(std::string_view expected, std::string_view actual) {
  if (expected == actual) return {};
  const auto want = records_of(expected, "\n");
  const auto got = records_of(actual, "\n");
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

// A change to one input file of a fixture job, made to the file the run
// starts from and to its expected copy alike (the program never changes
// its input files).
struct InputEdit {
  std::string file;
  std::string from;
  std::string to;
};

// Runs the fixture job, with the edit when one is given, in a job folder of
// its own and compares everything the run leaves with the fixture's
// expected bytes. The folder is kept when anything differs.
void expect_fixture_run(const std::string& fixture_name, const InputEdit* edit = nullptr) {
  const fs::path fixture = fixtures_folder() / fixture_name;
  const fs::path expected_dir = fixture / "expected";
  ASSERT_TRUE(fs::is_directory(expected_dir)) << expected_dir;

  ScratchFolder scratch;
  const fs::path job_dir = scratch / "job";
  fs::create_directory(job_dir);
  if (fs::is_directory(fixture / "input")) {
    fs::copy(fixture / "input", job_dir, fs::copy_options::recursive);
  }
  auto want = files_in(expected_dir, true);
  if (edit != nullptr) {
    const std::string input = read_bytes(job_dir / edit->file);
    ASSERT_NE(input.find(edit->from), std::string::npos) << edit->file << " holds no " << edit->from;
    write_bytes(job_dir / edit->file, replace_all(input, edit->from, edit->to));
    want.at(edit->file) = replace_all(want.at(edit->file), edit->from, edit->to);
  }

  const RunOutcome run =
      run_program(metclust_program(), {}, job_dir, read_bytes(fixture / "answers"));
  const std::string stderr_text = replace_all(run.err, job_dir.string(), "<DIR>");

  const std::string where = "job folder of this run: " + job_dir.string();
  const auto expect_same = [&where](std::string_view what, std::string_view expected,
                                    std::string_view actual) {
    const std::string diff = first_difference(expected, actual);
    if (!diff.empty()) ADD_FAILURE() << what << ": " << diff << "\n" << where;
  };
  expect_same("exit status", read_bytes(expected_dir / "status"), run.status_line());
  expect_same("standard output", read_bytes(expected_dir / "stdout"), run.out);
  expect_same("standard error", read_bytes(expected_dir / "stderr"), stderr_text);

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
  if (::testing::Test::HasFailure()) scratch.keep();
}

std::vector<std::string> fixture_names() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fixtures_folder(), ec)) {
    if (entry.is_directory() && fs::exists(entry.path() / "answers")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, RunMatchesExpectedBytes) { expect_fixture_run(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Fixtures, EndToEnd, ::testing::ValuesIn(fixture_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// A year whose NL lies outside 1 to MAXL is refused before NL is written
// anywhere, so every such count ends the job of nl_outside (whose second
// year gives 4 with MAXL 3) with the same bytes, NL 0 and below included.
TEST(EndToEndVariants, EveryCountOutsideOneToMaxlEndsTheRunAlike) {
  for (const char* count : {"0", "-1", "-2147483648"}) {
    SCOPED_TRACE(std::string("NL ") + count);
    const InputEdit edit{"JOB.EMA", "YR1991\n4\n", std::string("YR1991\n") + count + "\n"};
    expect_fixture_run("nl_outside", &edit);
  }
}

TEST(EndToEndRunner, FindsTheFixtureFolders) {
  // An empty list would leave the parameterized suite without a single job.
  EXPECT_FALSE(fixture_names().empty()) << "no fixture folders under " << fixtures_folder();
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
}  // namespace metclust::testing
