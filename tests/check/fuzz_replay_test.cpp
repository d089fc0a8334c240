// The companion programs' fuzz rules under the ordinary build: every input
// a fuzzer once found a fault with is replayed, and the .EMA file of every
// fixture job is checked against a whole run with every strategy answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "companion_entry_points.hpp"

namespace metclust::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures{METCLUST_FIXTURES};
const fs::path kRegressions = kFixtures.parent_path().parent_path() / "fuzz" / "regressions";

std::vector<std::uint8_t> bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> files_in(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(CompanionFuzzRegressions, KeepTheRules) {
  const Workspace space;
  for (const fs::path& input : files_in(kRegressions / "csv_fuzz")) {
    EXPECT_EQ(import_csv(bytes_of(input)), "") << input;
  }
  for (const fs::path& input : files_in(kRegressions / "check_fuzz")) {
    EXPECT_EQ(check_agrees_with_run(bytes_of(input), space), "") << input;
  }
}

TEST(CompanionFuzzRegressions, FixtureJobsEndAsTheCheckerSays) {
  const Workspace space;
  int files = 0;
  for (const auto& job : fs::directory_iterator(kFixtures)) {
    const fs::path ema = job.path() / "input" / "JOB.EMA";
    if (!fs::exists(ema)) continue;
    ++files;
    const std::vector<std::uint8_t> bytes = bytes_of(ema);
    // The first byte is the strategy answer: -1 to 10.
    for (std::uint8_t answer = 0; answer < 12; ++answer) {
      std::vector<std::uint8_t> input = {answer};
      input.insert(input.end(), bytes.begin(), bytes.end());
      EXPECT_EQ(check_agrees_with_run(input, space), "") << ema << ", answer " << int(answer) - 1;
    }
  }
  EXPECT_GT(files, 40);
}

}  // namespace
}  // namespace metclust::fuzz
