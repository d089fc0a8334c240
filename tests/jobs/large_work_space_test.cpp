// A build whose work arrays hold 600 locations (cmake
// -DMETCLUST_MAX_LOCATIONS=600): a year of 500 locations, the most that its
// plot records can number, runs with the fusion levels that the geometry of
// the job dictates, into outputs that the other programs read; a year of 501
// is refused, as metclust-check of the same build foretells; and a job that
// the default build holds comes out of it as from the default build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/capacity.hpp"
#include "support/job_runner.hpp"
#include "support/scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kDefaultBuild{METCLUST_BINARY};
const fs::path kLargeBuild{METCLUST_600_LOCATIONS_BINARY};
const fs::path kLargeChecker{METCLUST_CHECK_600_LOCATIONS_BINARY};
const fs::path kPlot{METCLUST_PLOT_BINARY};

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs `program` in `folder`; its streams are kept in the folder above.
Outcome run(const fs::path& program, const fs::path& folder, std::vector<std::string> arguments) {
  const fs::path out_file = folder.parent_path() / "stdout";
  const fs::path err_file = folder.parent_path() / "stderr";
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(folder.c_str()) != 0) {
      ::_exit(127);
    }
    ::alarm(120);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status),
          read_bytes(out_file), read_bytes(err_file)};
}

// One year of L locations on a line. The gaps between neighbours are 1 to
// L - 1 in a scrambled order, so every gap differs; the rows list the
// locations in another scrambled order. Proximities are distances.
struct LineYear {
  std::vector<double> gaps;
  std::string ema;  // the year group
};

LineYear line_year(int year, int L, int MAXL) {
  LineYear out;
  std::vector<double> position(L, 0.0);
  for (int k = 1; k < L; ++k) {
    const double gap = (static_cast<long long>(k) * 263) % (L - 1) + 1;  // 263 is prime
    out.gaps.push_back(gap);
    position[k] = position[k - 1] + gap;
  }
  // The place on the line of the location in row i; 7 and L share no factor.
  std::vector<int> row_place(L);
  for (int i = 0; i < L; ++i) row_place[i] = static_cast<int>((static_cast<long long>(i) * 7) % L);
  // A text right-justified in `width` columns, appended to the group.
  const auto append_right = [&out](const std::string& text, std::size_t width) {
    if (width > text.size()) out.ema.append(width - text.size(), ' ');
    out.ema.append(text);
  };
  append_right(std::to_string(year), 6);
  out.ema.append("    YR").append(std::to_string(year)).append("\n").append(std::to_string(L)).append("\n");
  for (int k = 0; k < MAXL; ++k) out.ema.append(k < L ? "1" : "0").append(k + 1 < MAXL ? " " : "\n");
  for (int i = 0; i < L; ++i) {
    append_right(std::to_string(i + 1), 6);
    out.ema.append(" L").append(std::to_string(1000 + i)).append(4, ' ');  // name in 8 columns
    for (int j = 0; j <= i; ++j) {
      if (j > 0 && j % 10 == 0) out.ema.append("\n").append(16, ' ');
      const double distance = std::abs(position[row_place[i]] - position[row_place[j]]);
      append_right(std::to_string(static_cast<long long>(distance)).append(".0"), 16);
    }
    out.ema.append("\n");
  }
  return out;
}

// A job of one line year for each of `counts` (years 92, 93, ...).
struct LineJob {
  std::vector<LineYear> years;
  std::string ema;
};

LineJob line_job(std::vector<int> counts, int MAXL) {
  LineJob job;
  job.ema = std::to_string(counts.size()) + " " + std::to_string(MAXL) + " 6 92 " +
            std::to_string(91 + counts.size()) + "\nLocations on a line\n     W     S     C     N\n";
  for (std::size_t k = 0; k < counts.size(); ++k) {
    job.years.push_back(line_year(92 + static_cast<int>(k), counts[k], MAXL));
    job.ema += job.years.back().ema;
  }
  return job;
}

// The fusion levels D(ij) of the .CLS fusion records, in fusion order.
std::vector<double> fusion_levels(const std::string& CLS) {
  std::vector<double> levels;
  std::istringstream records(CLS);
  for (std::string record; std::getline(records, record);) {
    if (record.find('=') == std::string::npos) continue;
    const std::size_t last = record.find_last_not_of(" \r");
    const std::size_t first = record.find_last_of(' ', last) + 1;
    double level = -1;
    std::from_chars(record.data() + first, record.data() + last + 1, level);
    levels.push_back(level);
  }
  return levels;
}

TEST(LargeWorkSpace, TheVersionTellsHowManyLocationsTheBuildHolds) {
  metclust::testing::ScratchFolder scratch;
  fs::create_directory(scratch.path() / "job");
  EXPECT_EQ(run(kLargeBuild, scratch.path() / "job", {"--version"}).out,
            "metclust 1.0.0 (work arrays for up to 600 locations)\n");
}

// Nearest-neighbour clustering of points on a line joins neighbours, one
// gap after the other from the smallest: the fusion levels are the gaps. A
// year of 500 locations numbers its nodes up to 999, so no node number of
// its plot records is asterisks and the companion programs read them.
TEST(LargeWorkSpace, AYearOfFiveHundredLocationsRunsWithTheLevelsOfItsGeometry) {
  metclust::testing::ScratchFolder scratch;
  const fs::path folder = scratch.path() / "job";
  fs::create_directory(folder);
  const LineJob job = line_job({500}, 600);
  scratch.put("job/JOB.EMA", job.ema);
  scratch.put("job/JOB.NAQ", "");

  const Outcome large = run(kLargeBuild, folder, {"--strategy", "1", "JOB"});
  EXPECT_EQ(large.status, 0);
  EXPECT_EQ(large.err, "");
  EXPECT_NE(large.out.find("\r\n DIMENSIONS OF ARRAYS:\r\n"
                           " PRESENT DIMENSIONS:  DZ=180301 Z=  2399 MZ= 50000 AZ=  2000\r\n"
                           " DIMENSIONS REQUIRED: DZ=180301 Z=  2399 MZ=  4798 AZ=  1800\r\n"),
            std::string::npos)
      << large.out.substr(0, 600);
  std::vector<double> levels = fusion_levels(scratch.take("job/JOB.CLS"));
  ASSERT_EQ(levels.size(), 499u);
  EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end()));
  std::vector<double> gaps = job.years[0].gaps;
  std::sort(gaps.begin(), gaps.end());
  EXPECT_EQ(levels, gaps);
  const std::string PCL = scratch.take("job/JOB.PCL");
  EXPECT_EQ(PCL.find('*'), std::string::npos);
  EXPECT_NE(PCL.find("999 LGp999"), std::string::npos);
  const Outcome plot = run(kPlot, folder, {"JOB"});
  EXPECT_EQ(plot.status, 0) << plot.err;

  // The default build refuses the same job, saying what build would run it.
  const Outcome small = run(kDefaultBuild, folder, {"-q", "--strategy", "1", "JOB"});
  EXPECT_EQ(small.status, 93);
  EXPECT_NE(small.err.find("run header gives MAXL 600, but this build holds " +
                           std::to_string(metclust::formats::kLocationsHeld) +
                           " locations at most; build with cmake -DMETCLUST_MAX_LOCATIONS=600"),
            std::string::npos)
      << small.err;
}

// A year of 501 locations would number nodes up to 1001, beyond the three
// columns of the plot records: the run ends at it with report 94, from the
// command line and from the dialogue, after the years before it, and no
// output holds asterisks; metclust-check of the same build says so first.
TEST(LargeWorkSpace, AYearBeyondWhatThePlotRecordsNumberIsRefused) {
  metclust::testing::ScratchFolder scratch;
  const fs::path folder = scratch.path() / "job";
  fs::create_directory(folder);
  scratch.put("job/JOB.EMA", line_job({4, 501, 3}, 600).ema);
  scratch.put("job/JOB.NAQ", "");
  const std::string report =
      "forrtl: severe (94): year 93 gives NL 501, more locations than the 500 a year's plot records "
      "can number, unit 20, file " +
      (fs::canonical(folder) / "JOB.EMA").string() + "\r\n";

  const Outcome command = run(kLargeBuild, folder, {"-q", "--strategy", "8", "JOB"});
  EXPECT_EQ(command.status, 94);
  EXPECT_EQ(command.err, report);
  const std::string SCL = scratch.take("job/JOB.SCL");
  const std::string CLS = scratch.take("job/JOB.CLS");
  const std::string PCL = scratch.take("job/JOB.PCL");
  for (const std::string* file : {&SCL, &CLS, &PCL}) EXPECT_EQ(file->find('*'), std::string::npos);
  // Year 92 whole, year 93 up to its number of locations.
  EXPECT_TRUE(SCL.ends_with("\r\n   For year YR93    \r\n Read number of locations retained in year\r\n"))
      << SCL.substr(SCL.size() - std::min<std::size_t>(SCL.size(), 200));
  EXPECT_EQ(fusion_levels(CLS).size(), 3u);
  EXPECT_EQ(PCL.find("   93"), std::string::npos);

  const metclust::testing::RunOutcome dialogue =
      metclust::testing::run_program(kLargeBuild, {}, folder, "Y\nJOB\n8\n");
  EXPECT_EQ(dialogue.status, 94);
  EXPECT_EQ(dialogue.err, report);
  EXPECT_EQ(scratch.take("job/JOB.PCL"), PCL);

  const Outcome check = run(kLargeChecker, folder, {"--strict", "JOB"});
  EXPECT_EQ(check.status, 1);
  EXPECT_NE(check.out.find("JOB.EMA:12: error: year 93: NL 501 is more than a year may have: the plot "
                           "records (.PCL) number the year's 2NL - 1 dendrogram nodes in three columns; "
                           "metclust ends here with report 94 (year 93 gives NL 501, more locations than "
                           "the 500 a year's plot records can number)\n"),
            std::string::npos)
      << check.out;
  EXPECT_TRUE(check.out.ends_with("JOB.EMA: 1 year, 1 error, 0 warnings\n")) << check.out;
}

// A larger work space changes no record of a job the default build holds but
// the capacities in the dimension report.
TEST(LargeWorkSpace, AJobTheDefaultBuildHoldsComesOutTheSame) {
  metclust::testing::ScratchFolder scratch;
  const LineJob job = line_job({411}, 411);
  for (const char* build : {"default", "large"}) {
    fs::create_directory(scratch.path() / build);
    scratch.put(std::string(build) + "/JOB.EMA", job.ema);
    scratch.put(std::string(build) + "/JOB.NAQ", "");
  }
  const Outcome small = run(kDefaultBuild, scratch.path() / "default", {"-s", "3", "JOB"});
  const Outcome large = run(kLargeBuild, scratch.path() / "large", {"-s", "3", "JOB"});
  ASSERT_EQ(small.status, 0) << small.err;
  ASSERT_EQ(large.status, 0) << large.err;
  const std::string present_small = " PRESENT DIMENSIONS:  DZ= 85000 Z=  2000 MZ= 50000 AZ=  2000";
  const std::string present_large = " PRESENT DIMENSIONS:  DZ=180301 Z=  2399 MZ= 50000 AZ=  2000";
  const auto as_default = [&](std::string text) {
    const std::size_t at = text.find(present_large);
    if (at != std::string::npos) text.replace(at, present_large.size(), present_small);
    return text;
  };
  EXPECT_EQ(as_default(large.out), small.out);
  EXPECT_EQ(as_default(scratch.take("large/JOB.SCL")), scratch.take("default/JOB.SCL"));
  EXPECT_EQ(scratch.take("large/JOB.CLS"), scratch.take("default/JOB.CLS"));
  EXPECT_EQ(scratch.take("large/JOB.PCL"), scratch.take("default/JOB.PCL"));
  EXPECT_EQ(fusion_levels(scratch.take("default/JOB.CLS")).size(), 410u);
}

}  // namespace
