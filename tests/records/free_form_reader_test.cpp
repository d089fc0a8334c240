#include "records/free_form_reader.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/channels.hpp"

namespace metclust::records {
namespace {

constexpr std::int32_t kOld = -99;  // a target's value before the read

// A .EMA file with the given bytes on channel 20 and console input with the
// given bytes, through a real channel table whose error stream goes to a file.
class Rig : public testing::ChannelRig {
 public:
  explicit Rig(const std::string& ema, const std::string& console = "") : ChannelRig(console) {
    open_ema(ema);
  }

  // Reads `count` integers, each starting as kOld.
  std::vector<std::int32_t> read(std::size_t count, int unit = kEma) {
    std::vector<std::int32_t> targets(count, kOld);
    FreeFormReader(channels()).read(unit, targets);
    return targets;
  }
  bool read_or_end(std::span<std::int32_t> targets) {
    return FreeFormReader(channels()).read(kEma, targets, AtEnd::Return);
  }
};

using testing::exit_status_of_run;

using Ints = std::vector<std::int32_t>;

TEST(FreeFormReader, ValuesOverSeveralRecordsWithNullsAndSlash) {
  for (const std::string line_end : {"\n", "\r\n"}) {
    Rig rig("4 10" + line_end + line_end + "3,,7/" + line_end + "3*5 2" + line_end + "2.9" +
            line_end);
    EXPECT_EQ(rig.read(5), (Ints{4, 10, 3, kOld, 7}));
    EXPECT_EQ(rig.read(4), (Ints{5, 5, 5, 2}));
    EXPECT_EQ(rig.read(1), (Ints{2}));
    EXPECT_EQ(rig.reports(), "");
  }
}

// Each case reads `count` integers from the records, then one more integer,
// which shows where the first read left the file.
struct Case {
  const char* bytes;
  std::size_t count;
  Ints expected;
  std::int32_t next;
};

TEST(FreeFormReader, SeparatorsNullValuesAndRepeats) {
  const Case cases[] = {
      // Blanks, tabs and commas; blanks around a comma are one separator.
      {"1,2 , 3\t4,\t 5\n6\n", 5, {1, 2, 3, 4, 5}, 6},
      {"  1  \n  2  \n\n   \n3\n", 2, {1, 2}, 3},
      // A record end ends a value; a comma after it still only separates.
      {"12\n34\n,5\n9\n", 3, {12, 34, 5}, 9},
      // A comma that opens the read, or follows another, is a null value.
      {",5\n9\n", 2, {kOld, 5}, 9},
      {", ,5\n9\n", 3, {kOld, kOld, 5}, 9},
      {"1,\n,3\n9\n", 3, {1, kOld, 3}, 9},
      {"1,,\n9\n", 3, {1, kOld, 9}, kOld},
      // r* null values and r*v copies; a count beyond the targets left stops
      // at the last target, and a count of 0 gives nothing.
      {"2* 7\n9\n", 3, {kOld, kOld, 7}, 9},
      {"2*,7\n9\n", 3, {kOld, kOld, 7}, 9},
      {"99999999999999999999999999*4\n9\n", 3, {4, 4, 4}, 9},
      {"4294967297*4 5\n9\n", 2, {4, 4}, 9},
      {"0*4 6 7\n9\n", 2, {6, 7}, 9},
      {"2*3 2* 1*8\n9\n", 5, {3, 3, kOld, kOld, 8}, 9},
      // The rest of the record is discarded once the targets are filled.
      {"1 2 3\n9\n", 2, {1, 2}, 9},
      {"7 abc\n9\n", 1, {7}, 9},
      // A slash ends the read at once.
      {"1 / 2\n9\n", 3, {1, kOld, kOld}, 9},
      {"/\n9\n", 2, {kOld, kOld}, 9},
      {"1,2*/\n9\n", 4, {1, kOld, kOld, kOld}, 9},
      {"1\n/ 2\n9\n", 3, {1, kOld, kOld}, 9},
      // Real forms are truncated toward zero.
      {"12.7 -2.5 1E3 1.5+3 -0.9\n9\n", 5, {12, -2, 1000, 1500, 0}, 9},
      {"2147483647,-2147483648\n9\n", 2, {2147483647, -2147483647 - 1}, 9},
  };
  for (const Case& c : cases) {
    Rig rig(c.bytes);
    EXPECT_EQ(rig.read(c.count), c.expected) << '"' << c.bytes << '"';
    if (c.next != kOld) {
      EXPECT_EQ(rig.read(1), Ints{c.next}) << '"' << c.bytes << '"';
    }
    EXPECT_EQ(rig.reports(), "") << '"' << c.bytes << '"';
  }
}

TEST(FreeFormReader, ReadWithoutTargetsTakesOneRecord) {
  Rig rig("1 2\n3\n");
  EXPECT_EQ(rig.read(0), Ints{});
  EXPECT_EQ(rig.read(1), Ints{3});
}

TEST(FreeFormReader, NotANumberIsListSyntaxAndBeyondTheRangeIsInputConversion) {
  struct Bad {
    const char* bytes;
    int report;
  };
  const Bad cases[] = {
      {"abc\n", 59},         {"1 x\n", 59},         {"nan\n", 59},
      {"inf\n", 59},         {"x*3\n", 59},         {"*3\n", 59},
      {"2*abc\n", 59},       {"2*3*4\n", 59},       {"1.2.3\n", 59},
      {"+\n", 59},           {"'text'\n", 59},      {"1E\n", 59},
      {"3000000000\n", 64},  {"-2147483649\n", 64}, {"2147483648.5\n", 64},
      {"1E10\n", 64},        {"2*1E400\n", 64},
  };
  for (const Bad& c : cases) {
    Rig rig(c.bytes);
    EXPECT_EQ(exit_status_of_run([&] { rig.read(2); }), c.report) << c.bytes;
    const char* text =
        c.report == 59 ? "list-directed I/O syntax error" : "input conversion error";
    EXPECT_EQ(rig.reports(), rig.severe_line(c.report, text)) << c.bytes;
  }
}

TEST(FreeFormReader, EndOfFileIsReportedOrReturned) {
  for (const char* bytes : {"", "\n\n  \n", "1 2\n"}) {
    Rig rig(bytes);
    EXPECT_EQ(exit_status_of_run([&] { rig.read(3); }), 24) << '"' << bytes << '"';
    EXPECT_EQ(rig.reports(), rig.severe_line(24, "end-of-file during read"));
  }
  Rig rig("1 2\n");
  std::array<std::int32_t, 3> targets = {kOld, kOld, kOld};
  EXPECT_FALSE(rig.read_or_end(targets));
  EXPECT_EQ(targets, (std::array<std::int32_t, 3>{1, 2, kOld}));
  EXPECT_EQ(rig.reports(), "");
}

TEST(FreeFormReader, ConsoleAnswerSkipsEmptyLinesAndTakesTheFirstNumber) {
  Rig rig("", "\r\n\r\n  3\r\n2 5 7\r\n3.7\r\n");
  EXPECT_EQ(rig.read(1, kConsoleIn), Ints{3});
  EXPECT_EQ(rig.read(1, kConsoleIn), Ints{2});
  EXPECT_EQ(rig.read(1, kConsoleIn), Ints{3});
  EXPECT_EQ(exit_status_of_run([&] { rig.read(1, kConsoleIn); }), 24);
  EXPECT_EQ(rig.reports(), "forrtl: severe (24): end-of-file during read, unit -4, file CONIN$\r\n");
}

}  // namespace
}  // namespace metclust::records
