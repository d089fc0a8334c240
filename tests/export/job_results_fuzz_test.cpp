// The job-results fuzz target's entry point under the ordinary build: the
// .PCL and .CLS of every fixture job, whole and cut short at many places,
// with several cuts into groups, and every input the fuzzer once failed on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "job_results_entry.hpp"

namespace {

namespace fs = std::filesystem;
const fs::path kFixtures{METCLUST_FIXTURES};

std::vector<std::uint8_t> bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> input(std::uint8_t k_less_one, const std::vector<std::uint8_t>& pcl,
                                const std::vector<std::uint8_t>& cls) {
  std::vector<std::uint8_t> data(3 + pcl.size() + cls.size());
  data[0] = k_less_one;
  data[1] = static_cast<std::uint8_t>(pcl.size() >> 8);
  data[2] = static_cast<std::uint8_t>(pcl.size() & 0xFF);
  std::copy(pcl.begin(), pcl.end(), data.begin() + 3);
  std::copy(cls.begin(), cls.end(), data.begin() + 3 + static_cast<std::ptrdiff_t>(pcl.size()));
  return data;
}

TEST(JobResultsFuzzEntry, FixtureJobsWholeAndCut) {
  std::size_t jobs = 0;
  for (const auto& entry : fs::directory_iterator(kFixtures)) {
    const fs::path pcl = entry.path() / "expected" / "JOB.PCL";
    const fs::path cls = entry.path() / "expected" / "JOB.CLS";
    if (!fs::exists(pcl) || !fs::exists(cls) || fs::file_size(pcl) >= 65536) continue;
    ++jobs;
    const std::vector<std::uint8_t> plot = bytes_of(pcl);
    const std::vector<std::uint8_t> cluster = bytes_of(cls);
    for (const std::uint8_t k : {0, 1, 3, 200}) {
      EXPECT_EQ(metclust::fuzz::read_job_results(input(k, plot, cluster)), "")
          << entry.path().filename();
    }
    const std::size_t step = std::max<std::size_t>(1, plot.size() / 13);
    for (std::size_t cut = 0; cut < plot.size(); cut += step) {
      const std::vector<std::uint8_t> short_plot(plot.begin(),
                                                 plot.begin() + static_cast<std::ptrdiff_t>(cut));
      EXPECT_EQ(metclust::fuzz::read_job_results(input(2, short_plot, cluster)), "")
          << entry.path().filename() << " cut at " << cut;
    }
  }
  EXPECT_GT(jobs, 10u);
}

TEST(JobResultsFuzzEntry, Regressions) {
  const fs::path folder =
      kFixtures.parent_path().parent_path() / "fuzz" / "regressions" / "job_results_fuzz";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    EXPECT_EQ(metclust::fuzz::read_job_results(bytes_of(entry.path())), "") << entry.path();
  }
}

}  // namespace
