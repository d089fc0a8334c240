// RecordWriter: walks a layout over a list of values and hands each
// complete record to its channel.
#pragma once

#include <initializer_list>
#include <span>
#include <string>

#include "records/channel_table.hpp"
#include "records/layout.hpp"
#include "records/value.hpp"

namespace metclust::records {

class RecordWriter {
 public:
  explicit RecordWriter(ChannelTable& channels) : channels_(channels) {}

  // One write statement: one or more records on the channel (or one record
  // without line end when the layout holds $). Fields that overflow are
  // written as asterisks and one report 63 follows the statement's records.
  void write(int unit, const Layout& layout, std::span<const Value> values);
  void write(int unit, const Layout& layout, std::initializer_list<Value> values) {
    write(unit, layout, std::span<const Value>(values.begin(), values.size()));
  }

  ChannelTable& channels() { return channels_; }

 private:
  ChannelTable& channels_;
  std::string record_;  // the record buffer, reused from write to write
  std::string field_;   // one rendered field, reused likewise
};

}  // namespace metclust::records
