// Outputs are put in place whole or not at all, one run at a time, and a
// killed run's leftovers are cleared by the next.
#include "cli/output_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "cli/command_line.hpp"
#include "records/output_guard.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

std::string error_of(OutputFiles& outputs, std::chrono::milliseconds patience = 1000ms) {
  try {
    outputs.commit(patience);
  } catch (const FileError& error) {
    return error.what();
  }
  return "(no error)";
}

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
  EXPECT_EQ(names_in(root), (std::set<std::string>{"a.csv", "b.csv"}));
}

// What a run killed while it wrote left behind: its own folder, and the
// temporary names that earlier versions gave these outputs. Another file's
// temporary name, and files that merely look alike, stay.
TEST(OutputFiles, WhatAKilledRunLeftIsClearedByTheNext) {
  metclust::testing::ScratchFolder folder;
  const fs::path root(folder.path());
  fs::create_directories(root / ".metclust.tmp");
  folder.put(".metclust.tmp/0", "half a file");
  folder.put(".metclust.tmp/0.old", "an old file");
  folder.put("a.csv.tmp-4711", "half");
  folder.put("a.csv.tmp-4711.old", "old a");
  folder.put("b.csv.tmp-12", "half");
  folder.put("c.csv.tmp-12", "not an output of this run");
  folder.put("a.csv.tmp-x", "not a temporary name");
  OutputFiles outputs;
  outputs.add(root / "a.csv", "new a");
  outputs.add(root / "b.csv", "new b");
  outputs.commit();
  EXPECT_EQ(names_in(root),
            (std::set<std::string>{"a.csv", "b.csv", "c.csv.tmp-12", "a.csv.tmp-x"}));
  EXPECT_EQ(folder.take("a.csv"), "new a");
}

// A name the system refuses (longer than a file name may be) fails the
// last rename: the outputs already put in place are taken back, the file
// they replaced is there again, and the message gives the system's reason.
TEST(OutputFiles, AFailureLeavesEveryFileAsItWas) {
  metclust::testing::ScratchFolder folder;
  const fs::path root(folder.path());
  folder.put("a.csv", "old");
  OutputFiles outputs;
  outputs.add(root / "a.csv", "new a");
  outputs.add(root / "b.csv", "new b");
  const std::string too_long(300, 'n');
  outputs.add(root / too_long, "new c");
  EXPECT_EQ(error_of(outputs), (root / too_long).string() + ": cannot be put in place: " +
                                   std::generic_category().message(ENAMETOOLONG));
  EXPECT_EQ(folder.take("a.csv"), "old");
  EXPECT_EQ(names_in(root), std::set<std::string>{"a.csv"});
}

// The temporary names are short: an output may have the longest name the
// file system allows (255 bytes), as long job names make them.
TEST(OutputFiles, TheLongestFileNameTakesItsOutput) {
  metclust::testing::ScratchFolder folder;
  const std::string name = std::string(251, 'j') + ".svg";
  OutputFiles outputs;
  outputs.add(folder.path() / name, "picture");
  outputs.commit();
  EXPECT_EQ(folder.take(name), "picture");
}

// A symbolic link at an output's name is replaced by the output; the file
// it pointed to, and the target of a dangling one, are left alone.
TEST(OutputFiles, ALinkAtAnOutputNameIsReplacedNotWrittenThrough) {
  metclust::testing::ScratchFolder folder;
  const fs::path root(folder.path());
  folder.put("precious", "keep me");
  fs::create_symlink(root / "precious", root / "a.csv");
  fs::create_symlink(root / "nowhere", root / "b.csv");
  OutputFiles outputs;
  outputs.add(root / "a.csv", "new a");
  outputs.add(root / "b.csv", "new b");
  outputs.commit();
  EXPECT_FALSE(fs::is_symlink(root / "a.csv"));
  EXPECT_EQ(folder.take("a.csv"), "new a");
  EXPECT_EQ(folder.take("b.csv"), "new b");
  EXPECT_EQ(folder.take("precious"), "keep me");
  EXPECT_FALSE(fs::exists(root / "nowhere"));
}

// While another run holds the folder's lock, a run waits, then gives up
// without writing anything; once the lock is let go, it goes through.
TEST(OutputFiles, ASecondRunWaitsForTheFirstThenGivesUp) {
  metclust::testing::ScratchFolder folder;
  const fs::path root(folder.path());
  folder.put("a.csv", "old");
  OutputFiles outputs;
  outputs.add(root / "a.csv", "new a");
  outputs.add(root / "b.csv", "new b");
  {
    const records::LockFile other(root / ".metclust.lock", 0ms);
    ASSERT_TRUE(other.held()) << other.failure();
    EXPECT_EQ(error_of(outputs, 300ms),
              root.string() + ": another run is writing its outputs into this folder; gave up after "
                              "1 second (its lock file is " + (root / ".metclust.lock").string() + ")");
    EXPECT_EQ(folder.take("a.csv"), "old");
    EXPECT_FALSE(folder.exists("b.csv"));
  }
  EXPECT_FALSE(folder.exists(".metclust.lock"));  // removed as it was let go
  outputs.commit(300ms);
  EXPECT_EQ(folder.take("a.csv"), "new a");
  EXPECT_EQ(names_in(root), (std::set<std::string>{"a.csv", "b.csv"}));
}

TEST(OutputFiles, AFolderThatCannotBeMadeSaysWhy) {
  metclust::testing::ScratchFolder folder;
  folder.put("plain", "a file where a folder should be");
  std::string what = "(no error)";
  try {
    OutputFiles::make_folder(folder.path() / "plain" / "out");
  } catch (const FileError& error) {
    what = error.what();
  }
  EXPECT_EQ(what, (folder.path() / "plain" / "out").string() + ": cannot make this folder: " +
                      std::generic_category().message(ENOTDIR));
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
