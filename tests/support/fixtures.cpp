#include "support/fixtures.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>

#include "support/job_runner.hpp"
#include "support/records_of.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::testing {

namespace fs = std::filesystem;

namespace {

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

bool windows_program(const fs::path& program) {
  std::string extension = program.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".exe";
}

// The spelling of a path on Wine's drive Z:, which holds the whole file system.
std::string windows_path(const fs::path& path) {
  std::string spelled = "Z:" + path.string();
  std::replace(spelled.begin(), spelled.end(), '/', '\\');
  return spelled;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The job folder on the error stream shown as <DIR>: as the program spells
// it, and on Windows, in any case, with the separators after it as /.
std::string shown_folder(const std::string& stream, const fs::path& folder, bool windows) {
  if (!windows) return replace_all(stream, folder.string(), "<DIR>");
  const std::string spelled = lower(windows_path(folder));
  std::string out;
  for (std::string_view line : records_of(stream, "\n")) {
    std::string shown(line);
    const std::size_t at = lower(line).find(spelled);
    if (at != std::string::npos) {
      std::string rest = shown.substr(at + spelled.size());
      std::replace(rest.begin(), rest.end(), '\\', '/');
      shown = shown.substr(0, at) + "<DIR>" + rest;
    }
    out += shown;
    out += '\n';
  }
  // Each record got its LF back; a last one had none.
  if (!stream.empty() && !stream.ends_with('\n')) out.pop_back();
  return out;
}

// A job folder for the fixture: input/ copied into scratch/job.
fs::path job_folder_of(const ScratchFolder& scratch, const fs::path& fixture) {
  const fs::path job = scratch / "job";
  fs::create_directory(job);
  if (fs::is_directory(fixture / "input")) fs::copy(fixture / "input", job, fs::copy_options::recursive);
  return job;
}

// The whole exit status of a Windows program as cmd shows it, from a second
// run of the job; -1 when it shows none.
std::int64_t windows_status(const fs::path& fixture, const fs::path& program,
                            const std::vector<std::string>& launcher) {
  const ScratchFolder scratch;
  const fs::path job = job_folder_of(scratch, fixture);
  write_bytes(scratch / "answers", read_bytes(fixture / "answers"));
  write_bytes(scratch / "status.bat", "@\"" + windows_path(program) + "\" < \"" + windows_path(scratch / "answers") +
                                          "\" > NUL 2> NUL\r\n@echo %ERRORLEVEL%\r\n");
  RunOptions options;
  options.launcher = launcher;
  const RunOutcome run = run_program("cmd", {"/c", windows_path(scratch / "status.bat")}, job, {}, options);
  std::string_view shown = run.out;
  while (!shown.empty() && std::isspace(static_cast<unsigned char>(shown.back()))) shown.remove_suffix(1);
  std::int64_t status = 0;
  const auto [end, error] = std::from_chars(shown.data(), shown.data() + shown.size(), status);
  if (shown.empty() || error != std::errc{} || end != shown.data() + shown.size()) return -1;
  return status & 0xFFFFFFFF;
}

std::string hex(std::int64_t value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "0x%08llX", static_cast<unsigned long long>(value));
  return digits;
}

}  // namespace

std::vector<std::string> fixture_names(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.is_directory() && fs::exists(entry.path() / "answers")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

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

FixtureRun run_fixture(const fs::path& fixture, const fs::path& program,
                       const std::vector<std::string>& launcher, const InputEdit* edit) {
  FixtureRun result;
  const bool windows = windows_program(program);
  if (windows && fs::exists(fixture / "not-on-windows")) {
    result.skipped = read_bytes(fixture / "not-on-windows");
    while (!result.skipped.empty() && std::isspace(static_cast<unsigned char>(result.skipped.back()))) {
      result.skipped.pop_back();
    }
    return result;
  }
  const fs::path expected_dir = fixture / "expected";
  if (!fs::is_directory(expected_dir)) {
    result.problems.push_back("no folder " + expected_dir.string());
    return result;
  }

  ScratchFolder scratch;
  const fs::path job = job_folder_of(scratch, fixture);
  result.job_folder = job;
  auto want = files_in(expected_dir, true);
  if (edit != nullptr) {
    const std::string input = read_bytes(job / edit->file);
    if (input.find(edit->from) == std::string::npos || want.count(edit->file) == 0) {
      result.problems.push_back(edit->file + " holds no " + edit->from);
      return result;
    }
    write_bytes(job / edit->file, replace_all(input, edit->from, edit->to));
    want.at(edit->file) = replace_all(want.at(edit->file), edit->from, edit->to);
  }

  RunOptions options;
  options.launcher = launcher;
  const RunOutcome run = run_program(program, {}, job, read_bytes(fixture / "answers"), options);
  const auto compare = [&](const std::string& what, std::string_view expected, std::string_view actual) {
    const std::string difference = first_difference(expected, actual);
    if (!difference.empty()) result.problems.push_back(what + ": " + difference);
  };
  const std::string status = read_bytes(expected_dir / "status");
  compare("exit status", status, run.status_line());
  compare("standard output", read_bytes(expected_dir / "stdout"), run.out);
  compare("standard error", read_bytes(expected_dir / "stderr"), shown_folder(run.err, job, windows));

  const auto got = files_in(job, false);
  for (const auto& [name, bytes] : want) {
    const auto found = got.find(name);
    if (found == got.end()) {
      result.problems.push_back("missing file " + name);
    } else {
      compare("file " + name, bytes, found->second);
    }
  }
  for (const auto& [name, bytes] : got) {
    if (want.find(name) == want.end()) {
      result.problems.push_back("unexpected file " + name + " (" + std::to_string(bytes.size()) + " bytes)");
    }
  }

  if (windows) {
    std::int64_t number = 0;
    std::from_chars(status.data(), status.data() + status.size(), number);
    const std::int64_t expected = number == 0 ? 0 : 0xC0000000 + number;
    const std::int64_t shown = windows_status(fixture, program, launcher);
    if (shown != expected) {
      result.problems.push_back("status as Windows reports it: " + (shown < 0 ? std::string("none") : hex(shown)) +
                                ", expected " + hex(expected));
    }
  }
  if (!result.problems.empty()) scratch.keep();
  return result;
}

}  // namespace metclust::testing
