#include "records/channel_table.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

#include "support/scratch_folder.hpp"

namespace metclust::records {
namespace {

using testing::ScratchFolder;

// Makes a folder the current one for as long as it lives, then puts the
// earlier one back, so that no later test runs elsewhere.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder)
      : before_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(before_, ignored);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path before_;
};

class ChannelTest : public ::testing::Test {
 protected:
  ChannelTest() : err_(folder_.open_for_console("stderr", true)) {}
  ~ChannelTest() override { ::close(err_); }

  ConsoleStreams console() { return {0, 1, err_}; }
  std::string reports() { return folder_.take("stderr"); }

  // Runs `body` and expects it to end the run with the given exit status.
  template <typename Body>
  void expect_run_end(int status, Body body) {
    try {
      body();
      ADD_FAILURE() << "the run did not end";
    } catch (const RunEnded& end) {
      EXPECT_EQ(end.exit_status(), status);
    }
  }

  ScratchFolder folder_;
  int err_;
};

TEST_F(ChannelTest, ExistingOutputIsCutAfterTheFirstRecordAndKeptWhenNothingIsWritten) {
  folder_.put("old.SCL", std::string(100, 'x'));
  folder_.put("old.PCL", "old plot data\r\n");
  {
    ChannelTable channels(console());
    channels.open(kScl, folder_.file("old.SCL"), ChannelTable::Status::Unknown);
    channels.open(kPcl, folder_.file("old.PCL"), ChannelTable::Status::Unknown);
    EXPECT_EQ(folder_.take("old.SCL"), std::string(100, 'x'));  // not emptied on connection
    channels.put_record(kScl, "first");
    EXPECT_EQ(folder_.take("old.SCL"), "first\r\n");
    channels.put_record(kScl, "second", false);
    channels.stop();
  }
  EXPECT_EQ(folder_.take("old.SCL"), "first\r\nsecond");
  EXPECT_EQ(folder_.take("old.PCL"), "old plot data\r\n");
  EXPECT_EQ(reports(), "");
}

TEST_F(ChannelTest, InputRecordsEndAtLfWithOrWithoutCrAndALastRecordWithoutLf) {
  folder_.put("in.EMA", "one\r\ntwo\n\r\nlast");
  ChannelTable channels(console());
  channels.open(kEma, "  " + folder_.file("in.EMA") + "   ", ChannelTable::Status::Old);
  for (const char* expected : {"one", "two", "", "last"}) {
    auto record = channels.next_record(kEma);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(*record, expected);
  }
  EXPECT_FALSE(channels.next_record(kEma).has_value());
  EXPECT_FALSE(channels.next_record(kEma).has_value());
}

TEST_F(ChannelTest, OpenFailuresNameTheChannelAndTheFullPath) {
  ChannelTable channels(console());
  {
    // A name without a folder is taken from the current one.
    const CurrentFolder here(folder_.path());
    expect_run_end(29, [&] { channels.open(kEma, "JOB.EMA", ChannelTable::Status::Old); });
  }
  EXPECT_EQ(reports(), "forrtl: severe (29): file not found, unit 20, file " +
                           folder_.file("JOB.EMA") + "\r\n");
}

TEST_F(ChannelTest, BlankNameIsAFileNotFoundWithAnEmptyName) {
  ChannelTable channels(console());
  expect_run_end(29, [&] { channels.open(kEma, std::string(50, ' '), ChannelTable::Status::Old); });
  EXPECT_EQ(reports(), "forrtl: severe (29): file not found, unit 20, file \r\n");
}

TEST_F(ChannelTest, FailureCausesMapToTheirReports) {
  folder_.put("plain", "x");
  std::filesystem::create_directory(folder_.path() / "dir");
  struct Case {
    std::string name;
    ChannelTable::Status status;
    int report;
  };
  const Case cases[] = {
      {folder_.file("nodir/x.SCL"), ChannelTable::Status::Unknown, 29},
      {folder_.file("plain/x.SCL"), ChannelTable::Status::Unknown, 43},
      {folder_.file("dir"), ChannelTable::Status::Old, 30},
      {folder_.file("dir"), ChannelTable::Status::Unknown, 30},
      {folder_.file(std::string(300, 'n')), ChannelTable::Status::Old, 43},
      {std::string("a\0b", 3), ChannelTable::Status::Old, 43},
  };
  for (const Case& c : cases) {
    ChannelTable channels(console());
    expect_run_end(c.report, [&] { channels.open(kScl, c.name, c.status); });
  }
  if (::geteuid() != 0) {
    folder_.put("locked", "x");
    ::chmod(folder_.file("locked").c_str(), 0);
    ChannelTable channels(console());
    expect_run_end(9, [&] { channels.open(kEma, folder_.file("locked"), ChannelTable::Status::Old); });
  }
}

TEST_F(ChannelTest, TheSameFileUnderTwoNamesIsRefusedForAnOutput) {
  folder_.put("JOB.EMA", "header\r\n");
  std::filesystem::create_hard_link(folder_.file("JOB.EMA"), folder_.file("alias"));
  ChannelTable channels(console());
  channels.open(kEma, folder_.file("JOB.EMA"), ChannelTable::Status::Old);
  channels.open(kNaq, folder_.file("alias"), ChannelTable::Status::Old);  // two inputs may share
  expect_run_end(30, [&] { channels.open(kScl, folder_.file("alias"), ChannelTable::Status::Unknown); });
  EXPECT_EQ(reports(),
            "forrtl: severe (30): open failure, unit 22, file " + folder_.file("alias") + "\r\n");
  EXPECT_EQ(folder_.take("JOB.EMA"), "header\r\n");
}

// A symbolic link at an output's name is never written through, whether it
// leads to a file, nowhere, or an input of the run; an input may be a link.
TEST_F(ChannelTest, ALinkAtAnOutputNameIsRefusedWithReport96) {
  // The system's own links are followed: /dev/stdout is a stream to write
  // to, and no user can plant a link there.
  if (std::filesystem::is_symlink("/dev/stdout")) {
    ChannelTable channels(console());
    channels.open(kScl, "/dev/stdout", ChannelTable::Status::Unknown);
    channels.stop();
  }
  folder_.put("JOB.EMA", "header\r\n");
  folder_.put("precious", "keep me\r\n");
  std::filesystem::create_symlink(folder_.file("precious"), folder_.file("JOB.SCL"));
  std::filesystem::create_symlink(folder_.file("nowhere"), folder_.file("JOB.CLS"));
  std::filesystem::create_symlink(folder_.file("JOB.EMA"), folder_.file("JOB.PCL"));
  std::filesystem::create_symlink(folder_.file("JOB.EMA"), folder_.file("link.EMA"));
  for (const auto& [unit, name] : {std::pair{kScl, "JOB.SCL"}, std::pair{kCls, "JOB.CLS"},
                                   std::pair{kPcl, "JOB.PCL"}}) {
    ChannelTable channels(console());
    channels.open(kEma, folder_.file("link.EMA"), ChannelTable::Status::Old);
    expect_run_end(96, [&] { channels.open(unit, folder_.file(name), ChannelTable::Status::Unknown); });
  }
  EXPECT_EQ(reports(),
            "forrtl: severe (96): output file is a symbolic link, which is not written through, "
            "unit 22, file " + folder_.file("JOB.SCL") + "\r\n" +
            "forrtl: severe (96): output file is a symbolic link, which is not written through, "
            "unit 23, file " + folder_.file("JOB.CLS") + "\r\n" +
            "forrtl: severe (96): output file is a symbolic link, which is not written through, "
            "unit 24, file " + folder_.file("JOB.PCL") + "\r\n");
  EXPECT_EQ(folder_.take("precious"), "keep me\r\n");
  EXPECT_FALSE(folder_.exists("nowhere"));
  EXPECT_EQ(folder_.take("JOB.EMA"), "header\r\n");
}

// Two tables that want one output file: the second waits for the first to
// close it, and when it waits longer than it may, ends with report 95 and
// leaves the file as the first one writes it.
TEST_F(ChannelTest, AnOutputInUseByAnotherRunIsWaitedForThenReport95) {
  using namespace std::chrono_literals;
  ChannelTable first(console());
  first.open(kScl, folder_.file("JOB.SCL"), ChannelTable::Status::Unknown);
  first.open(kCls, folder_.file("JOB.CLS"), ChannelTable::Status::Unknown);
  first.lock_outputs(0ms);
  first.put_record(kScl, "first run");
  {
    ChannelTable second(console());
    // Its own file first: the lock it takes there is let go again while it
    // waits for the one that the first table holds.
    second.open(kPcl, folder_.file("JOB.PCL"), ChannelTable::Status::Unknown);
    second.open(kCls, folder_.file("JOB.CLS"), ChannelTable::Status::Unknown);
    const auto start = std::chrono::steady_clock::now();
    expect_run_end(95, [&] { second.lock_outputs(200ms); });
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  }
  EXPECT_EQ(reports(), "forrtl: severe (95): output file in use by another run, unit 23, file " +
                           folder_.file("JOB.CLS") + "\r\n");
  {
    // The second table's own file was not kept locked while it waited.
    ChannelTable third(console());
    third.open(kPcl, folder_.file("JOB.PCL"), ChannelTable::Status::Unknown);
    third.lock_outputs(0ms);
  }
  first.put_record(kCls, "first run");
  first.stop();
  ChannelTable later(console());
  later.open(kScl, folder_.file("JOB.SCL"), ChannelTable::Status::Unknown);
  later.open(kCls, folder_.file("JOB.CLS"), ChannelTable::Status::Unknown);
  later.lock_outputs(0ms);
  EXPECT_EQ(folder_.take("JOB.SCL"), "first run\r\n");
  EXPECT_EQ(folder_.take("JOB.CLS"), "first run\r\n");
}

// The folder of the outputs is made with the folders above it; one that
// cannot be made ends the run with the report of the reason, naming it.
TEST_F(ChannelTest, AnOutputFolderIsMadeOrReportedAsItsReasonGives) {
  folder_.put("plain", "x");
  {
    ChannelTable channels(console());
    channels.make_folder(kScl, folder_.file("out/deeper"));
    EXPECT_TRUE(std::filesystem::is_directory(folder_.path() / "out" / "deeper"));
    channels.make_folder(kScl, folder_.file("out/deeper"));  // there already
  }
  ChannelTable channels(console());
  expect_run_end(43, [&] { channels.make_folder(kScl, folder_.file("plain/out")); });
  EXPECT_EQ(reports(), "forrtl: severe (43): file name specification error, unit 22, file " +
                           folder_.file("plain/out") + "\r\n");
}

TEST_F(ChannelTest, RefusedWriteIsReport38AndEarlierRecordsStay) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ChannelTable channels(console());
  channels.open(kScl, "/dev/full", ChannelTable::Status::Unknown);
  expect_run_end(38, [&] { channels.put_record(kScl, "record"); });
  EXPECT_EQ(reports(), "forrtl: severe (38): error during write, unit 22, file /dev/full\r\n");
}

TEST_F(ChannelTest, ConsoleEndOfInputAndReportNamesOfTheConsole) {
  folder_.put("answers", "Y\r\n");
  const int in = folder_.open_for_console("answers", false);
  ChannelTable channels({in, 1, err_});
  EXPECT_EQ(channels.next_record(kConsoleIn).value_or("?"), "Y");
  EXPECT_FALSE(channels.next_record(kConsoleIn).has_value());
  expect_run_end(24, [&] { channels.fail(report::kEndOfFile, kConsoleIn); });
  EXPECT_EQ(reports(), "forrtl: severe (24): end-of-file during read, unit -4, file CONIN$\r\n");
  ::close(in);
}

}  // namespace
}  // namespace metclust::records
