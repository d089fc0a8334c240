// A long trial series, 50 years of 380 to 400 of 400 sites, through
// metclust, metclust-compare and metclust-plot: each page stays within
// 5 MB, so that a browser opens it, and still names every year and every
// location of every year.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "../../bench/job_generator.hpp"
#include "support/pictures.hpp"
#include "support/programs.hpp"
#include "support/scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;
using metclust::testing::ScratchFolder;

constexpr std::uintmax_t kPageBound = 5'000'000;

TEST(LongSeries, PagesStayWithinFiveMegabytesAndNameEveryLocation) {
#ifdef METCLUST_SANITIZE
  GTEST_SKIP() << "50 years of 400 locations take minutes under the sanitizers; the Release "
                  "suite holds the pages to their size";
#endif
  ScratchFolder folder;
  metclust::bench::JobSize size;
  size.years = 50;
  size.locations = 400;
  size.fewest = 380;
  metclust::bench::write_job(folder.path(), size);
  ASSERT_EQ(metclust::testing::run_metclust_job(folder.path(), "JOB", 3).status, 0);
  const std::vector<std::string> command = {"--groups", "6", "JOB"};
  for (const fs::path& program :
       {metclust::testing::plot_program(), metclust::testing::compare_program()}) {
    const auto run = metclust::testing::run_program(program, command, folder.path());
    ASSERT_EQ(run.status, 0) << program << ": " << run.err;
  }
  const fs::path plot_page = folder.path() / "JOB.html";
  const fs::path compare_page = folder.path() / "JOB-years.html";
  EXPECT_LE(fs::file_size(plot_page), kPageBound);
  EXPECT_LE(fs::file_size(compare_page), kPageBound);

  // Every year has its picture, and every picture a name for each of the
  // locations its subheading counts.
  const std::string plot = metclust::testing::read_bytes(plot_page);
  static const std::regex kCount(R"re(>(\d+) locations \xC2\xB7)re");
  std::set<std::string> names;
  std::size_t pictures = 0;
  for (std::size_t at = plot.find("<svg "); at != std::string::npos;) {
    const std::size_t end = plot.find("</svg>", at);
    ASSERT_NE(end, std::string::npos);
    const std::string svg = plot.substr(at, end - at);
    std::smatch count;
    ASSERT_TRUE(std::regex_search(svg, count, kCount)) << "picture " << pictures + 1;
    const std::vector<metclust::testing::Leaf> leaves = metclust::testing::leaves(svg);
    EXPECT_EQ(leaves.size(), std::stoul(count[1])) << "picture " << pictures + 1;
    for (const auto& leaf : leaves) names.insert(leaf.name);
    ++pictures;
    at = plot.find("<svg ", end);
  }
  EXPECT_EQ(pictures, 50u);
  EXPECT_GT(names.size(), 380u);
  // The comparison shows every one of those names as text.
  const std::string compare = metclust::testing::read_bytes(compare_page);
  for (const std::string& name : names) {
    EXPECT_NE(compare.find(">" + name + "<"), std::string::npos) << name;
  }
}

}  // namespace
