#include "records/record_writer.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/records_of.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::records {
namespace {

using testing::ScratchFolder;

// Writes through a real channel table onto a file in a scratch folder and
// hands back the file's bytes and the error stream's report lines.
class WriterTest : public ::testing::Test {
 protected:
  WriterTest()
      : err_(folder_.open_for_console("stderr", true)),
        channels_(ConsoleStreams{0, folder_.open_for_console("stdout", true), err_}),
        writer_(channels_) {
    channels_.open(kScl, folder_.file("out.SCL"), ChannelTable::Status::Unknown);
  }
  ~WriterTest() override { ::close(err_); }

  std::string written() { return folder_.take("out.SCL"); }
  std::string reports() { return folder_.take("stderr"); }

  ScratchFolder folder_;
  int err_;
  ChannelTable channels_;
  RecordWriter writer_;
};

TEST_F(WriterTest, LiteralsFieldsAndPositioning) {
  static const Layout job(R"((" Job is ",A50))");
  std::string title = "ABC";
  title.resize(50, ' ');
  writer_.write(kScl, job, {std::string_view(title)});
  static const Layout row("(I6,1X,A8,1X,(T17,10E16.8))");
  writer_.write(kScl, row, {std::int32_t{3}, std::string_view("SITEC   ")});
  EXPECT_EQ(written(), " Job is ABC" + std::string(47, ' ') + "\r\n" + "     3 SITEC   \r\n");
}

TEST_F(WriterTest, ReversionToTheLastOutermostGroupStartsEachRecord) {
  static const Layout row("(I6,1X,A8,1X,(T17,10E16.8))");
  std::vector<Value> values = {std::int32_t{1}, std::string_view("A       ")};
  for (int k = 1; k <= 25; ++k) values.emplace_back(static_cast<double>(k));
  writer_.write(kScl, row, values);
  const std::string text = written();
  ASSERT_TRUE(text.ends_with("\r\n"));
  const std::vector<std::string_view> records = testing::records_of(text);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].size(), 176u);
  EXPECT_EQ(records[0].substr(0, 32), std::string("     1 A        ") + "  0.10000000E+01");
  EXPECT_EQ(records[1].size(), 176u);
  EXPECT_EQ(records[1].substr(0, 32), std::string(16, ' ') + "  0.11000000E+02");
  EXPECT_EQ(records[2].size(), 96u);
  EXPECT_EQ(records[2].substr(80), "  0.25000000E+02");
}

TEST_F(WriterTest, RepeatedFieldsSplitIntoRecordsAndTrailingLiteralsAreWritten) {
  static const Layout thirty("(30I4)");
  std::vector<Value> values;
  for (int k = 1; k <= 35; ++k) values.emplace_back(std::int32_t{k});
  writer_.write(kScl, thirty, values);
  static const Layout counts("(10I6)");
  writer_.write(kScl, counts, {std::int32_t{1}, std::int32_t{2}, std::int32_t{3}, std::int32_t{4},
                               std::int32_t{5}, std::int32_t{6}, std::int32_t{7}});
  static const Layout menu(R"~((A30," Type (",I1,")"))~");
  writer_.write(kScl, menu, {std::string_view(" Median"), std::int32_t{4}});
  const std::string text = written();
  const std::size_t first = text.find("\r\n");
  EXPECT_EQ(first, 120u);
  const std::size_t second = text.find("\r\n", first + 2);
  EXPECT_EQ(second - first - 2, 20u);
  EXPECT_EQ(text.substr(second + 2),
            "     1     2     3     4     5     6     7\r\n"
            "                        Median Type (4)\r\n");
}

TEST_F(WriterTest, SlashesEmptyLayoutAndDollar) {
  static const Layout report(R"((/," DIMENSIONS OF ARRAYS:",/," Z=",I6))");
  writer_.write(kScl, report, {std::int32_t{2000}});
  static const Layout empty("()");
  writer_.write(kScl, empty, {});
  static const Layout prompt("(A,$)");
  writer_.write(kScl, prompt, {std::string_view(" Name? - ")});
  static const Layout text("(A)");
  writer_.write(kScl, text, {std::string_view("next")});
  EXPECT_EQ(written(), "\r\n DIMENSIONS OF ARRAYS:\r\n Z=  2000\r\n\r\n Name? - next\r\n");
}

TEST_F(WriterTest, OneOutputConversionReportPerStatementAfterItsRecords) {
  static const Layout thirty("(30I4)");
  std::vector<Value> values;
  for (int k = 0; k < 31; ++k) values.emplace_back(std::int32_t{k == 0 || k == 30 ? 12345 : k});
  writer_.write(kScl, thirty, values);
  EXPECT_EQ(written().substr(0, 8), "****   1");
  EXPECT_EQ(written().substr(written().size() - 6), "****\r\n");
  EXPECT_EQ(reports(), "forrtl: error (63): output conversion error, unit 22, file " +
                           folder_.file("out.SCL") + "\r\n");
  static const Layout seq(R"((" Sequence starts in year ",I3," & finishes in year ",I3))");
  writer_.write(kScl, seq, {std::int32_t{1995}, std::int32_t{2}});
  EXPECT_EQ(written().substr(written().find("\r\n S") + 2),
            " Sequence starts in year *** & finishes in year   2\r\n");
}

TEST_F(WriterTest, ValuesLeftForAReversionGroupWithoutFieldsEndTheStatement) {
  static const Layout fieldless_group("(I3,(1X))");
  writer_.write(kScl, fieldless_group, {std::int32_t{1}, std::int32_t{2}});
  static const Layout no_fields(R"((" text"))");
  writer_.write(kScl, no_fields, {std::int32_t{1}});
  // The fieldless reversion pass still ends its (empty) record; what matters
  // is that the statement ends.
  EXPECT_EQ(written(), "  1\r\n\r\n text\r\n");
}

TEST(Layout, MalformedNotationIsRefusedWhenBuilt) {
  for (const char* bad : {"I6", "(I6", "(I6,)", "(Q6)", "(E16)", "(\"open)", "(0I4)", "(X)"}) {
    EXPECT_THROW(Layout{bad}, std::invalid_argument) << bad;
  }
  EXPECT_EQ(Layout("(2I5,1X,A50)").items().size(), 3u);
  EXPECT_EQ(Layout("(I6,1X,A8,1X,(T17,10E16.8))").reversion_index(), 4u);
  EXPECT_EQ(Layout("(30I4)").reversion_index(), Layout::npos);
}

}  // namespace
}  // namespace metclust::records
