// The choose fuzz target's entry point under the ordinary build: every
// fixture job's .EMA file run with each strategy and read back by
// metclust-choose, which must cluster every year of a normal run again to
// the same fusions; and every input the fuzzer once failed on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "choose_entry.hpp"

namespace {

namespace fs = std::filesystem;

TEST(ChooseFuzzEntry, EveryFixtureJobWithEveryStrategy) {
  const metclust::fuzz::Workspace space;
  std::size_t jobs = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(METCLUST_FIXTURES))) {
    const fs::path ema = entry.path() / "input" / "JOB.EMA";
    if (!fs::exists(ema)) continue;
    ++jobs;
    std::ifstream in(ema, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (std::uint8_t strategy = 0; strategy < 8; ++strategy) {
      std::vector<std::uint8_t> data{strategy};
      data.insert(data.end(), bytes.begin(), bytes.end());
      EXPECT_EQ(metclust::fuzz::choose_from_run(data, space), "")
          << entry.path().filename() << ", strategy " << strategy + 1;
    }
  }
  EXPECT_GT(jobs, 20U);
}

TEST(ChooseFuzzEntry, Regressions) {
  const metclust::fuzz::Workspace space;
  std::size_t inputs = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(METCLUST_SOURCE_DIR) / "fuzz" / "regressions" /
                                                  "choose_fuzz")) {
    ++inputs;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(metclust::fuzz::choose_from_run(data, space), "") << entry.path().filename();
  }
  EXPECT_GT(inputs, 0U);
}

}  // namespace
