// Outputs are put in place whole or not at all.
#include "cli/output_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/command_line.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::cli {
namespace {

namespace fs = std::filesystem;

TEST(OutputFiles, AllWrittenAtOnceAndNoTemporaryFileLeft) {
  metclust::testing::ScratchFolder folder;
  const fs::path root(folder.path());
  folder.put("a.csv", "old");
  OutputFiles outputs;
  outputs.add(root / "a.csv", "new a");
  outputs.add(root / "b.csv", "new b");
  EXPECT_EQ(outputs.existing(), std::vector<fs::path>{root / "a.csv"});
  outputs.commit();
  EXPECT_EQ(folder.take("a.csv"), "new a");
  EXPECT_EQ(folder.take("b.csv"), "new b");
  EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 2);
}

TEST(OutputFiles, AFailureLeavesEveryFileAsItWas) {
  metclust::testing::ScratchFolder folder;
  const fs::path root(folder.path());
  folder.put("a.csv", "old");
  OutputFiles outputs;
  outputs.add(root / "a.csv", "new a");
  // The second output's folder does not exist, so it cannot be written.
  outputs.add(root / "missing" / "b.csv", "new b");
  EXPECT_THROW(outputs.commit(), FileError);
  EXPECT_EQ(folder.take("a.csv"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 1);
}

TEST(OutputFiles, ReadingAMissingFileOrAFolder) {
  metclust::testing::ScratchFolder folder;
  EXPECT_FALSE(read_file_if_present(folder.file("none")));
  EXPECT_THROW(read_file(folder.file("none")), FileError);
  EXPECT_THROW(read_file(folder.path()), FileError);
  folder.put("x", std::string("a\0b", 3));
  EXPECT_EQ(read_file(folder.file("x")), std::string("a\0b", 3));
}

}  // namespace
}  // namespace metclust::cli
