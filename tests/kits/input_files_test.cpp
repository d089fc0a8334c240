// Inputs read whole, within the bounds of a line and of a file.
#include "cli/input_files.hpp"

#include <gtest/gtest.h>

#include <string>

#include "cli/command_line.hpp"
#include "records/located_error.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::cli {
namespace {

TEST(InputFiles, TheLongestLineIsReadAndOneByteMoreIsRefusedWhereItStands) {
  metclust::testing::ScratchFolder folder;
  const std::string longest(static_cast<std::size_t>(kLongestLine), 'x');
  folder.put("fits", "a\n" + longest + "\n" + longest);
  EXPECT_EQ(read_file(folder.file("fits")).size(), 2 + 2 * longest.size() + 1);
  folder.put("over", "a\nb\n" + longest + "\r\n");
  try {
    read_file(folder.file("over"));
    ADD_FAILURE() << "a line of 1 MiB and a CR read";
  } catch (const records::LocatedError& error) {
    EXPECT_EQ(error.message(),
              folder.file("over") + ":3: the line is longer than 1 MiB, the longest line read: is this the file meant?");
  }
}

TEST(InputFiles, AFolderIsNoFile) {
  metclust::testing::ScratchFolder folder;
  try {
    read_file(folder.file(""));
    ADD_FAILURE() << "a folder read";
  } catch (const FileError& error) {
    EXPECT_EQ(std::string(error.what()), folder.file("") + ": is a folder, not a file");
  }
}

}  // namespace
}  // namespace metclust::cli
