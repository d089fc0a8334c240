#include "records/record_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/record_writer.hpp"
#include "support/channels.hpp"

namespace metclust::records {
namespace {

using testing::ScratchFolder;

// A .EMA file with the given bytes on channel 20 of a real channel table,
// whose error stream goes to a file of the scratch folder.
class Rig : public testing::ChannelRig {
 public:
  explicit Rig(const std::string& bytes) { open_ema(bytes); }

  bool read(const char* notation, std::initializer_list<Target> targets,
            AtEnd at_end = AtEnd::Report) {
    return RecordReader(channels()).read(kEma, Layout(notation), targets, at_end);
  }
};

using testing::exit_status_of_run;

template <std::size_t N>
std::string text_of(const std::array<char, N>& text) {
  return std::string(text.data(), text.size());
}

TEST(RecordReader, RecordsReadAlikeWithLfAndCrLf) {
  const char* const lines[] = {"  1990    YR1990  ", "12 ", "", "  0.12345000E+02",
                               "   12.345", "1.0D-3", "12345678", "  A TITLE"};
  for (const std::string line_end : {"\n", "\r\n"}) {
    std::string bytes;
    for (const char* line : lines) bytes += line + line_end;
    bytes += "  7";  // a last record without line end
    Rig rig(bytes);

    std::int32_t year = -1;
    std::array<char, 8> label{};
    ASSERT_TRUE(rig.read("(I6,4X,A8)", {&year, std::span<char>(label)}));
    EXPECT_EQ(year, 1990);
    EXPECT_EQ(text_of(label), "YR1990  ");

    std::int32_t short_record = -1, empty_record = -1;
    rig.read("(I6)", {&short_record});
    rig.read("(I6)", {&empty_record});
    EXPECT_EQ(short_record, 12);
    EXPECT_EQ(empty_record, 0);

    double full = 0, short_field = 0, d_exponent = 0;
    float implied = 0;
    rig.read("(E16.8)", {&full});
    rig.read("(E16.8)", {&short_field});
    rig.read("(E16.8)", {&d_exponent});
    rig.read("(E16.8)", {&implied});
    EXPECT_EQ(full, 12.345);
    EXPECT_EQ(short_field, 12.345);
    EXPECT_EQ(d_exponent, 0.001);
    EXPECT_EQ(implied, 0.12345678f);

    std::array<char, 50> title{};
    rig.read("(A)", {std::span<char>(title)});
    EXPECT_EQ(text_of(title), "  A TITLE" + std::string(41, ' '));

    std::int32_t last = 0;
    rig.read("(I3)", {&last});
    EXPECT_EQ(last, 7);
    EXPECT_FALSE(rig.read("(I3)", {&last}, AtEnd::Return));
    EXPECT_EQ(rig.reports(), "");
  }
}

TEST(RecordReader, TextFieldsTakeTheirColumns) {
  struct Case {
    const char* layout;
    const char* record;
    std::size_t length;
    const char* expected;
  };
  const Case cases[] = {
      {"(A)", "ABC", 8, "ABC     "},
      {"(A)", "ABCDEFGHIJ", 8, "ABCDEFGH"},
      {"(A4)", "ABCDEFGH", 8, "ABCD    "},
      {"(A8)", "ABCDEFGH", 8, "ABCDEFGH"},
      // Wider than the target: the rightmost columns of the field.
      {"(A10)", "ABCDEFGHIJ", 8, "CDEFGHIJ"},
      {"(A10)", "ABC", 8, "C       "},
      {"(3X,A2)", "ABCDEF", 2, "DE"},
      {"(T5,A)", "ABCDEFGH", 3, "EFG"},
      {"(A)", "", 4, "    "},
  };
  std::string bytes;
  for (const Case& c : cases) bytes += std::string(c.record) + "\r\n";
  Rig rig(bytes);
  for (const Case& c : cases) {
    std::string target(c.length, '#');
    rig.read(c.layout, {std::span<char>(target)});
    EXPECT_EQ(target, c.expected) << c.layout << " on \"" << c.record << '"';
  }
}

TEST(RecordReader, PositioningSlashReversionAndTheRestOfARecord) {
  Rig rig(
      "  1  2\n"
      "     U     P     S     C\n"
      "  5\n  6\n"
      "  1  2\n  3  4\n  5  6\n"
      "END\n"
      "     9 and more\n"
      "     7\n"
      "NEXT\n");
  std::int32_t a = 0, b = 0;
  rig.read("(T4,I3,T1,I3)", {&a, &b});
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);

  std::array<char, 1> options[4];
  rig.read("(4(5X,A1))", {std::span<char>(options[0]), std::span<char>(options[1]),
                          std::span<char>(options[2]), std::span<char>(options[3])});
  EXPECT_EQ(std::string({options[0][0], options[1][0], options[2][0], options[3][0]}), "UPSC");

  rig.read("(I3,/,I3)", {&a, &b});
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 6);

  // Without a group the layout starts again from its first item on a new
  // record; the record holding the last value is left with its sixth value.
  std::int32_t five[5] = {};
  rig.read("(2I3)", {&five[0], &five[1], &five[2], &five[3], &five[4]});
  EXPECT_EQ(std::vector<std::int32_t>(five, five + 5), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  std::array<char, 3> end{};
  rig.read("(A3)", {std::span<char>(end)});
  EXPECT_EQ(text_of(end), "END");

  rig.read("(I6)", {&a});
  EXPECT_EQ(a, 9);

  // Fields beyond the end of the record read as blanks.
  double real = 5.0;
  std::array<char, 4> text{'#', '#', '#', '#'};
  rig.read("(I6,E16.8,A4)", {&a, &real, std::span<char>(text)});
  EXPECT_EQ(a, 7);
  EXPECT_EQ(real, 0.0);
  EXPECT_EQ(text_of(text), "    ");

  std::array<char, 4> next{};
  rig.read("(A4)", {std::span<char>(next)});
  EXPECT_EQ(text_of(next), "NEXT");
}

// Rows of a lower-triangle matrix as the .EMA file carries them: row i has
// its number, its name and i values, the last one held as a 4-byte real.
TEST(RecordReader, MatrixRowsWrittenAsSeveralRecordsReadBackAsWritten) {
  static const Layout row_layout("(I6,1X,A8,1X,(T17,10E16.8))");
  static const Layout end_layout("(A)");
  const double samples[] = {12.345, -0.001, 0.0, 1.5e-7, 98765432.0, -3.25, 4.0e30};
  const int sizes[] = {1, 2, 10, 11, 25};
  const auto sample = [&](int i, int k) { return samples[(i + k) % 7]; };
  const auto name_of = [](int i) { return "SITE" + std::to_string(i) + std::string(8, ' '); };

  ScratchFolder folder;
  const auto write_rows = [&](const std::string& file, const auto& value_at,
                              const auto& diagonal_at) {
    ChannelTable channels;
    channels.open(kScl, folder.file(file), ChannelTable::Status::Unknown);
    RecordWriter writer(channels);
    for (const int i : sizes) {
      const std::string name = name_of(i).substr(0, 8);
      std::vector<Value> values = {std::int32_t{i}, std::string_view(name)};
      for (int k = 1; k < i; ++k) values.emplace_back(value_at(i, k));
      values.emplace_back(diagonal_at(i));
      writer.write(kScl, row_layout, values);
    }
    writer.write(kScl, end_layout, {std::string_view("END")});
    channels.stop();
  };
  write_rows("rows.EMA", sample, [&](int i) { return static_cast<float>(sample(i, i)); });
  // 1 + 1 + 1 + 2 + 3 row records and the end record.
  const std::string written = folder.take("rows.EMA");
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 9);

  std::vector<std::vector<double>> read_values;
  std::vector<float> read_diagonals;
  {
    ChannelTable channels;
    channels.open(kEma, folder.file("rows.EMA"), ChannelTable::Status::Old);
    RecordReader reader(channels);
    for (const int i : sizes) {
      std::int32_t number = 0;
      std::array<char, 8> name{};
      std::vector<double> values(static_cast<std::size_t>(i - 1));
      float diagonal = 0;
      std::vector<Target> targets = {&number, std::span<char>(name)};
      for (double& v : values) targets.emplace_back(&v);
      targets.emplace_back(&diagonal);
      ASSERT_TRUE(reader.read(kEma, row_layout, targets));
      EXPECT_EQ(number, i);
      EXPECT_EQ(text_of(name), name_of(i).substr(0, 8));
      for (int k = 1; k < i; ++k) {
        EXPECT_EQ(values[static_cast<std::size_t>(k - 1)], sample(i, k)) << i << "," << k;
      }
      EXPECT_EQ(diagonal, static_cast<float>(sample(i, i)));
      read_values.push_back(values);
      read_diagonals.push_back(diagonal);
    }
    std::array<char, 3> end{};
    ASSERT_TRUE(reader.read(kEma, end_layout, {std::span<char>(end)}));
    EXPECT_EQ(text_of(end), "END");
  }

  // Writing what was read gives the same bytes.
  const auto row_index = [&](int i) {
    return static_cast<std::size_t>(std::find(std::begin(sizes), std::end(sizes), i) - sizes);
  };
  write_rows(
      "again.EMA",
      [&](int i, int k) { return read_values[row_index(i)][static_cast<std::size_t>(k - 1)]; },
      [&](int i) { return read_diagonals[row_index(i)]; });
  EXPECT_EQ(folder.take("again.EMA"), written);
}

TEST(RecordReader, EndOfFileIsReportedOrReturned) {
  {
    Rig rig("");
    std::int32_t year = 5;
    std::array<char, 8> label{};
    EXPECT_FALSE(rig.read("(I6,4X,A8)", {&year, std::span<char>(label)}, AtEnd::Return));
    EXPECT_EQ(year, 5);
    EXPECT_EQ(rig.reports(), "");
  }
  {
    Rig rig("");
    std::int32_t year = 5;
    EXPECT_EQ(exit_status_of_run([&] { rig.read("(I6)", {&year}); }), 24);
    EXPECT_EQ(rig.reports(), rig.severe_line(24, "end-of-file during read"));
  }
  {
    // In the middle of a read: the first value is kept, the run ends all the same.
    Rig rig("     1\r\n");
    std::int32_t a = 0, b = 0;
    EXPECT_EQ(exit_status_of_run([&] { rig.read("(I6,/,I6)", {&a, &b}); }), 24);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(rig.reports(), rig.severe_line(24, "end-of-file during read"));
  }
  {
    // A matrix row whose continuation record is missing.
    Rig rig("    11 SITE11   " + std::string(160, '1') + "\n");
    std::int32_t number = 0;
    std::array<char, 8> name{};
    std::vector<double> values(11);
    std::vector<Target> targets = {&number, std::span<char>(name)};
    for (double& v : values) targets.emplace_back(&v);
    EXPECT_FALSE(RecordReader(rig.channels())
                     .read(kEma, Layout("(I6,1X,A8,1X,(T17,10E16.8))"), targets, AtEnd::Return));
    EXPECT_EQ(values[9], 11111111.11111111);
    EXPECT_EQ(rig.reports(), "");
  }
}

TEST(RecordReader, BadNumericFieldsAreInputConversionErrors) {
  struct Case {
    const char* layout;
    const char* record;
    char target;  // i: 4-byte integer, f: 4-byte real, d: 8-byte real
  };
  const Case cases[] = {
      {"(I6)", "  12a ", 'i'},       {"(I6)", "     -", 'i'},        {"(I6)", " 1.0  ", 'i'},
      {"(I11)", "-2147483649", 'i'}, {"(I10)", "2147483648", 'i'},   {"(E16.8)", "   1.2.3", 'd'},
      {"(F10.3)", "      abc", 'd'}, {"(E16.8)", "1.E39", 'f'},       {"(E16.8)", "1.E309", 'd'},
      {"(E16.8)", "    1.0E", 'd'},  {"(T17,E16.8)", "                0.1-", 'd'},
  };
  for (const Case& c : cases) {
    Rig rig(std::string(c.record) + "\r\n");
    std::int32_t i = 0;
    float f = 0;
    double d = 0;
    const Target target = c.target == 'i' ? Target(&i) : c.target == 'f' ? Target(&f) : Target(&d);
    EXPECT_EQ(exit_status_of_run([&] { rig.read(c.layout, {target}); }), 64)
        << c.layout << " on \"" << c.record << '"';
    EXPECT_EQ(rig.reports(), rig.severe_line(64, "input conversion error")) << c.record;
  }

  // The limits themselves are read, and a double takes what a float cannot.
  Rig rig("-2147483648 2147483647\n1.E39\n");
  std::int32_t low = 0, high = 0;
  double large = 0;
  rig.read("(I11,I11)", {&low, &high});
  rig.read("(E16.8)", {&large});
  EXPECT_EQ(low, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(high, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(large, 1e39);

  // Targets filled before the bad field keep their new values.
  Rig partial("    11    x \n");
  std::int32_t first = 0, second = 0;
  EXPECT_EQ(exit_status_of_run([&] { partial.read("(2I6)", {&first, &second}); }), 64);
  EXPECT_EQ(first, 11);
}

TEST(RecordReader, LayoutThatCannotTakeItsTargetsIsRefused) {
  Rig rig("     1\n     2\n     3\n     4\n");
  std::int32_t a = 0, b = 0;
  std::array<char, 4> text{};
  EXPECT_THROW(rig.read("(I6)", {std::span<char>(text)}), std::invalid_argument);
  EXPECT_THROW(rig.read("(A4)", {&a}), std::invalid_argument);
  // A walk that would fill nothing more on every following record.
  EXPECT_THROW(rig.read("(1X)", {&a}), std::invalid_argument);
  EXPECT_THROW(rig.read("(I6,(1X))", {&a, &b}), std::invalid_argument);
}

}  // namespace
}  // namespace metclust::records
