// Long trial series through every program, as a breeding programme runs
// them: jobs of 10, 50 and 200 years of 380 to 400 of 400 sites a year
// (bench/job_generator.hpp, fixed seeds), clustered by group average, then
// metclust-export, metclust-compare, metclust-plot and metclust-choose on
// the finished job. Each program runs as a child process; its wall time and
// peak resident memory (wait4's ru_maxrss) are printed beside the clustering
// run's, and each page's size too. With Chromium installed, the time it takes
// to load and lay out each page headless is printed as well.
//
//   long_series_bench [--programs DIR] [--years 10,50,200] [--scratch DIR]
//                     [--browser-seconds S]
//
// DIR defaults to the build folder the programs were built in beside this
// one. The scratch folder (a fresh one under the system's temporary folder
// unless given) is removed afterwards unless it was given.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "job_generator.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using metclust::bench::JobSize;

struct Outcome {
  bool ran = false;      // started, and ended by itself
  int status = -1;       // its exit status
  double seconds = 0.0;  // wall time
  long peak_kib = 0;     // ru_maxrss
};

// Runs `argv` in `folder` with standard input from `input` (or /dev/null)
// and its output thrown away; a child still running after `limit` seconds
// is killed (then `ran` is false).
Outcome run(const std::vector<std::string>& argv, const fs::path& folder,
            const std::optional<fs::path>& input = std::nullopt, double limit = 3600.0) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string in = input ? input->string() : "/dev/null";
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> args;
  for (const std::string& word : argv) args.push_back(const_cast<char*>(word.c_str()));
  args.push_back(nullptr);
  Outcome outcome;
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int error = posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0].c_str());
    return outcome;
  }
  int status = 0;
  rusage usage{};
  bool killed = false;
  while (true) {
    const pid_t done = wait4(child, &status, WNOHANG, &usage);
    if (done == child) break;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!killed && elapsed > limit) {
      kill(child, SIGKILL);
      killed = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  outcome.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  outcome.peak_kib = usage.ru_maxrss;
  outcome.ran = !killed && WIFEXITED(status);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::string fixed(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

std::optional<std::string> browser() {
  for (const char* name : {"/usr/bin/chromium", "/usr/bin/chromium-browser",
                           "/usr/bin/google-chrome"}) {
    if (fs::exists(name)) return std::string(name);
  }
  return std::nullopt;
}

struct Row {
  std::string what;
  Outcome outcome;
  std::optional<std::uintmax_t> page_bytes;
  std::optional<Outcome> opened;  // the page in the browser
};

// `output_bytes`: what the clustering run wrote (.SCL, .CLS, .PCL), the
// measure of a page's size.
void print_table(int years, const std::vector<Row>& rows, std::uintmax_t output_bytes,
                 double browser_limit) {
  const Outcome& base = rows.front().outcome;
  std::printf(", %d years of 380-400 locations\n", years);
  std::printf("%-18s %9s %7s %9s %7s %10s %7s %11s\n", "program", "wall s", "x run", "peak MiB",
              "x run", "page MB", "x out", "browser s");
  for (const Row& row : rows) {
    const Outcome& o = row.outcome;
    std::string page = "-", page_ratio = "-", opened = "-";
    if (row.page_bytes) {
      page = fixed(static_cast<double>(*row.page_bytes) / 1e6, 2);
      page_ratio = fixed(static_cast<double>(*row.page_bytes) / static_cast<double>(output_bytes), 2);
    }
    if (row.opened) {
      opened = row.opened->ran ? fixed(row.opened->seconds, 1)
                               : ">" + fixed(browser_limit, 0) + " (stopped)";
    }
    std::printf("%-18s %9s %7s %9s %7s %10s %7s %11s%s\n", row.what.c_str(),
                fixed(o.seconds, 2).c_str(), fixed(o.seconds / base.seconds, 2).c_str(),
                fixed(static_cast<double>(o.peak_kib) / 1024.0, 1).c_str(),
                fixed(static_cast<double>(o.peak_kib) / static_cast<double>(base.peak_kib), 2)
                    .c_str(),
                page.c_str(), page_ratio.c_str(), opened.c_str(),
                o.ran && o.status == 0 ? "" : "  FAILED");
  }
}

// The size of a page a program wrote; none when it wrote none.
std::optional<std::uintmax_t> page_size(const fs::path& page) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(page, error);
  if (error) return std::nullopt;
  return size;
}

std::vector<int> parse_years(std::string_view text) {
  std::vector<int> out;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view word = text.substr(0, comma);
    int value = 0;
    std::from_chars(word.data(), word.data() + word.size(), value);
    if (value > 0) out.push_back(value);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path programs = METCLUST_PROGRAMS_DIR;
  std::vector<int> series = {10, 50, 200};
  std::optional<fs::path> scratch_given;
  double browser_limit = 120.0;
  for (int k = 1; k + 1 < argc; k += 2) {
    const std::string_view option = argv[k];
    if (option == "--programs") programs = argv[k + 1];
    else if (option == "--years") series = parse_years(argv[k + 1]);
    else if (option == "--scratch") scratch_given = argv[k + 1];
    else if (option == "--browser-seconds") browser_limit = std::atof(argv[k + 1]);
    else {
      std::fprintf(stderr, "unknown option %s\n", argv[k]);
      return 2;
    }
  }
  const fs::path scratch = scratch_given ? *scratch_given
                                         : fs::temp_directory_path() /
                                               ("metclust-long-series-" + std::to_string(getpid()));
  const std::optional<std::string> chromium = browser();
  std::printf("Long series: every program on generated jobs, as child processes (%s)\n",
              programs.c_str());
  std::printf("x run: to the clustering run of the same job; page MB: the page's size, x out: to\n"
              "the bytes the run wrote\n");
  if (!chromium) {
    std::printf("browser time: skipped, Chromium is not installed (apt-get install chromium)\n");
  } else {
    std::printf("browser s: %s --headless --dump-dom on the page, stopped after %s s\n",
                chromium->c_str(), fixed(browser_limit, 0).c_str());
  }
  const auto program = [&](const char* name) { return (programs / name).string(); };
  for (const int years : series) {
    const fs::path folder = scratch / ("years-" + std::to_string(years));
    fs::remove_all(folder);
    JobSize size;
    size.years = years;
    size.locations = 400;
    size.fewest = 380;
    size.strategy = 3;
    metclust::bench::write_job(folder, size);
    const fs::path job = folder / "JOB";
    std::vector<Row> rows;
    rows.push_back({"metclust (run)", run({program("metclust")}, folder, folder / "answers"), {}, {}});
    rows.push_back({"metclust-export", run({program("metclust-export"), "--groups", "6", job}, folder), {}, {}});
    rows.push_back({"metclust-compare",
                    run({program("metclust-compare"), "--groups", "6", job}, folder),
                    page_size(folder / "JOB-years.html"), {}});
    rows.push_back({"metclust-plot", run({program("metclust-plot"), "--groups", "6", job}, folder),
                    page_size(folder / "JOB.html"), {}});
    rows.push_back({"metclust-choose", run({program("metclust-choose"), job}, folder), {}, {}});
    rows.back().page_bytes = page_size(folder / "JOB-choose.html");
    if (chromium) {
      const fs::path profile = folder / "browser-profile";
      for (Row& row : rows) {
        if (!row.page_bytes) continue;
        const char* page = row.what == "metclust-compare" ? "JOB-years.html"
                           : row.what == "metclust-plot"  ? "JOB.html"
                                                          : "JOB-choose.html";
        row.opened = run({*chromium, "--headless", "--no-sandbox", "--disable-gpu",
                          "--user-data-dir=" + profile.string(), "--dump-dom",
                          "file://" + (folder / page).string()},
                         folder, std::nullopt, browser_limit);
      }
    }
    std::uintmax_t output_bytes = 0;
    for (const char* name : {"JOB.SCL", "JOB.CLS", "JOB.PCL"}) {
      if (fs::exists(folder / name)) output_bytes += fs::file_size(folder / name);
    }
    std::printf("\n%d years: the run wrote %s MB (.SCL, .CLS, .PCL)", years,
                fixed(static_cast<double>(output_bytes) / 1e6, 2).c_str());
    print_table(years, rows, output_bytes, browser_limit);
    std::fflush(stdout);
  }
  if (!scratch_given) fs::remove_all(scratch);
  return 0;
}
