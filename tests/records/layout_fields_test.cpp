// The columns field_columns gives for each value are the columns the reader
// takes it from: each field of a made-up record holds its own number, and a
// read through RecordReader must give back 1, 2, 3, ... in order.
#include "records/layout_fields.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/channel_table.hpp"
#include "records/number_text.hpp"
#include "records/record_reader.hpp"

namespace metclust::records {
namespace {

TEST(LayoutFields, StandWhereTheReaderTakesEachValue) {
  struct Case {
    const char* layout;
    int count;
  };
  const Case cases[] = {
      {"(I6,4X,I4)", 2},
      {"(I3,T10,I4,T5,I2)", 3},             // tabs forward and back
      {"(2(I2,1X),/,I3)", 3},               // a slash starts the next record
      {"(I6,1X,I3,1X,(T17,10I16))", 25},    // the matrix row: continuation records
      {"(30I4)", 61},                       // reversion to the start, three records
      {"(I2,2(I3,2X),I5)", 4},              // a repeated group
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    const Layout layout(c.layout);
    const std::vector<FieldColumns> fields = field_columns(layout, c.count);
    ASSERT_EQ(fields.size(), static_cast<std::size_t>(c.count));

    // Records wide enough for every field, blank but for the fields' numbers.
    std::vector<std::string> records;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      const FieldColumns& f = fields[k];
      if (static_cast<std::size_t>(f.record) >= records.size()) records.resize(f.record + 1);
      std::string& record = records[static_cast<std::size_t>(f.record)];
      const std::string number = decimal(static_cast<std::int64_t>(k) + 1);
      ASSERT_LE(number.size(), static_cast<std::size_t>(f.width));
      const std::size_t end = static_cast<std::size_t>(f.column - 1 + f.width);
      if (record.size() < end) record.resize(end, ' ');
      record.replace(end - number.size(), number.size(), number);
    }
    std::string bytes;
    for (const std::string& record : records) bytes += record + "\r\n";

    ChannelTable channels({}, ChannelTable::Failures::Throw);
    channels.open_bytes(1, "J", bytes);
    RecordReader reader(channels);
    std::vector<std::int32_t> values(static_cast<std::size_t>(c.count), 0);
    std::vector<Target> targets;
    for (std::int32_t& value : values) targets.push_back(&value);
    ASSERT_TRUE(reader.read(1, layout, targets));
    for (std::size_t k = 0; k < values.size(); ++k) EXPECT_EQ(values[k], static_cast<std::int32_t>(k) + 1) << k;
    EXPECT_EQ(channels.record_number(1), static_cast<std::int64_t>(records.size()));
  }
}

}  // namespace
}  // namespace metclust::records
