// FreeFormReader: list-directed reads of integers separated by blanks, tabs,
// commas or record ends, with null values, r*v, r* and the slash.
#pragma once

#include <cstdint>
#include <span>

#include "records/channel_table.hpp"
#include "records/record_reader.hpp"

namespace metclust::records {

class FreeFormReader {
 public:
  explicit FreeFormReader(ChannelTable& channels) : channels_(channels) {}

  // Fills the targets in element order from the values that follow; a target
  // given a null value, or not reached before a slash, keeps its value. A
  // value that is not a number ends the run with report 59; a number whose
  // integer value lies beyond the 4-byte range ends it with report 64.
  // Returns false only with AtEnd::Return when the stream ended.
  bool read(int unit, std::span<std::int32_t> targets, AtEnd at_end = AtEnd::Report);

 private:
  ChannelTable& channels_;
};

}  // namespace metclust::records
