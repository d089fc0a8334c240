// A build whose work arrays hold 600 locations (cmake
// -DMETCLUST_MAX_LOCATIONS=600): a year of 600 locations runs, with the
// fusion levels that the geometry of the job dictates, and a job that the
// default build holds comes out of it as from the default build.
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
#include "support/scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kDefaultBuild{METCLUST_BINARY};
const fs::path kLargeBuild{METCLUST_600_LOCATIONS_BINARY};

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
struct LineJob {
  std::vector<double> gaps;
  std::string ema;
};

LineJob line_job(int L) {
  LineJob job;
  std::vector<double> position(L, 0.0);
  for (int k = 1; k < L; ++k) {
    const double gap = (static_cast<long long>(k) * 263) % (L - 1) + 1;  // 263 is prime
    job.gaps.push_back(gap);
    position[k] = position[k - 1] + gap;
  }
  // The place on the line of the location in row i; 7 and L share no factor.
  std::vector<int> row_place(L);
  for (int i = 0; i < L; ++i) row_place[i] = static_cast<int>((static_cast<long long>(i) * 7) % L);
  // A text right-justified in `width` columns, appended to the file.
  const auto append_right = [&job](const std::string& text, std::size_t width) {
    if (width > text.size()) job.ema.append(width - text.size(), ' ');
    job.ema.append(text);
  };
  const std::string count = std::to_string(L);
  job.ema.append("1 ").append(count).append(" 6 92 92\nLocations on a line\n");
  job.ema.append("     W     S     C     N\n    92    YR92\n").append(count).append("\n");
  for (int k = 0; k < L; ++k) job.ema.append(k + 1 < L ? "1 " : "1\n");
  for (int i = 0; i < L; ++i) {
    append_right(std::to_string(i + 1), 6);
    job.ema.append(" L").append(std::to_string(1000 + i)).append(4, ' ');  // name in 8 columns
    for (int j = 0; j <= i; ++j) {
      if (j > 0 && j % 10 == 0) job.ema.append("\n").append(16, ' ');
      const double distance = std::abs(position[row_place[i]] - position[row_place[j]]);
      append_right(std::to_string(static_cast<long long>(distance)).append(".0"), 16);
    }
    job.ema.append("\n");
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
// gap after the other from the smallest: the fusion levels are the gaps.
TEST(LargeWorkSpace, AYearOfSixHundredLocationsRunsWithTheLevelsOfItsGeometry) {
  metclust::testing::ScratchFolder scratch;
  const fs::path folder = scratch.path() / "job";
  fs::create_directory(folder);
  const LineJob job = line_job(600);
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
  ASSERT_EQ(levels.size(), 599u);
  EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end()));
  std::vector<double> gaps = job.gaps;
  std::sort(gaps.begin(), gaps.end());
  EXPECT_EQ(levels, gaps);

  // The default build refuses the same job, saying what build would run it.
  const Outcome small = run(kDefaultBuild, folder, {"-q", "--strategy", "1", "JOB"});
  EXPECT_EQ(small.status, 93);
  EXPECT_NE(small.err.find("run header gives MAXL 600, but this build holds " +
                           std::to_string(metclust::formats::kLocationsHeld) +
                           " locations at most; build with cmake -DMETCLUST_MAX_LOCATIONS=600"),
            std::string::npos)
      << small.err;
}

// A larger work space changes no record of a job the default build holds but
// the capacities in the dimension report.
TEST(LargeWorkSpace, AJobTheDefaultBuildHoldsComesOutTheSame) {
  metclust::testing::ScratchFolder scratch;
  const LineJob job = line_job(411);
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
