// The .EMA records written by EmaWriter read back through EmaReader to the
// same values, and a throwing table names the line and column of a fault.
#include "formats/ema.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "records/located_error.hpp"

namespace metclust::formats {
namespace {

using records::ChannelTable;

constexpr int kUnit = 7;

std::string written(const std::function<void(EmaWriter&)>& write) {
  ChannelTable channels({}, ChannelTable::Failures::Throw);
  channels.open_memory(kUnit, "J.EMA");
  records::RecordWriter out(channels);
  EmaWriter writer(out, kUnit);
  write(writer);
  return channels.take_memory(kUnit);
}

TEST(EmaRecords, WrittenJobReadsBackToTheSameValues) {
  // Twelve locations put row 12 on two records (ten values and the diagonal
  // continue from column 17).
  const std::vector<records::Name> names = {
      records::make_name("ALPHA"), records::make_name("B"), records::make_name("12345678")};
  std::vector<std::vector<double>> rows;
  for (int i = 0; i < 12; ++i) {
    std::vector<double> row;
    for (int j = 0; j < i; ++j) row.push_back(0.125 * (i + 1) + 1e-3 * j);
    rows.push_back(row);
  }
  const std::string bytes = written([&](EmaWriter& w) {
    w.write_run_header({1, 12, 5, 1991, 1992});
    w.write_title("A TRIAL SERIES");
    w.write_options({'U', 'S', 'C', 'N'});
    w.write_year(1991, records::make_name("1991"));
    w.write_count(12);
    const std::vector<std::int32_t> elim(12, 1);
    w.write_elimination(elim);
    for (int i = 0; i < 12; ++i) w.write_matrix_row(i + 1, names[static_cast<std::size_t>(i % 3)], rows[static_cast<std::size_t>(i)]);
  });
  EXPECT_EQ(bytes.substr(bytes.find("\r\n") + 2, 16), "A TRIAL SERIES  ");

  ChannelTable channels({}, ChannelTable::Failures::Throw);
  channels.open_bytes(kUnit, "J.EMA", bytes);
  EmaReader reader(channels, kUnit);
  const RunHeaderValues header = reader.read_run_header();
  EXPECT_EQ(header.MAXL, 12);
  EXPECT_EQ(header.IYS, 1991);
  EXPECT_EQ(header.IYF, 1992);
  const Title title = reader.read_title();
  EXPECT_EQ(std::string(title.begin(), title.begin() + 16), "A TRIAL SERIES  ");
  const Options options = reader.read_options();
  EXPECT_EQ(options.CORTYP, 'N');
  std::int32_t year = 0;
  records::Name label;
  ASSERT_TRUE(reader.read_year(year, label));
  EXPECT_EQ(year, 1991);
  std::int32_t nl = 0;
  reader.read_count(nl);
  EXPECT_EQ(nl, 12);
  std::vector<std::int32_t> elim(12, 0);
  reader.read_elimination(elim);
  EXPECT_EQ(elim, std::vector<std::int32_t>(12, 1));
  for (int i = 0; i < 12; ++i) {
    std::int32_t number = 0;
    records::Name name;
    std::vector<double> row(static_cast<std::size_t>(i));
    reader.read_matrix_row(number, name, row);
    EXPECT_EQ(number, i + 1);
    EXPECT_EQ(name, names[static_cast<std::size_t>(i % 3)]);
    EXPECT_EQ(row, rows[static_cast<std::size_t>(i)]) << "row " << i + 1;
  }
  EXPECT_FALSE(reader.read_year(year, label));
  EXPECT_EQ(channels.record_number(kUnit), static_cast<std::int64_t>(
                                               std::count(bytes.begin(), bytes.end(), '\n')));
}

TEST(EmaRecords, AThrowingTableNamesLineAndColumn) {
  struct Case {
    const char* what;
    std::string bytes;
    std::int64_t line;
    std::int64_t column;
    std::string message;
  };
  const std::string start = "1 2 1 91 91\r\nTITLE\r\n     U     S     C     N\r\n";
  const std::vector<Case> cases = {
      {"letters in the header", "1 x 1 91 91\r\n", 1, 3, "expected a whole number, found \"x\""},
      {"letters in a year", start + "  19x1    1991\r\n", 4, 1,
       "expected a whole number in columns 1-6, found \"  19x1\""},
      {"file ends inside the matrix", start + "    91    1991\r\n2\r\n1 1\r\n     1 A\r\n", 8, 0,
       "the file ends where another record is needed"},
      {"a proximity that is no number",
       start + "    91    1991\r\n2\r\n1 1\r\n     1 A               0.0\r\n     2 B       " +
           "        abc\r\n",
       8, 17, "expected a number in columns 17-32, found \"       abc\""},
  };
  for (const Case& c : cases) {
    ChannelTable channels({}, ChannelTable::Failures::Throw);
    channels.open_bytes(kUnit, "J.EMA", c.bytes);
    EmaReader reader(channels, kUnit);
    try {
      reader.read_run_header();
      reader.read_title();
      reader.read_options();
      std::int32_t year = 0;
      records::Name label;
      reader.read_year(year, label);
      std::int32_t nl = 0;
      reader.read_count(nl);
      std::vector<std::int32_t> elim(2);
      reader.read_elimination(elim);
      std::int32_t number = 0;
      std::vector<double> none;
      reader.read_matrix_row(number, label, none);
      std::vector<double> one(1);
      reader.read_matrix_row(number, label, one);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const records::LocatedError& error) {
      EXPECT_EQ(error.file(), "J.EMA") << c.what;
      EXPECT_EQ(error.line(), c.line) << c.what;
      EXPECT_EQ(error.column(), c.column) << c.what;
      EXPECT_EQ(error.what(), c.message) << c.what;
    }
  }
}

}  // namespace
}  // namespace metclust::formats
