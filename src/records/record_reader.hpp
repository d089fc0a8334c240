// RecordReader: fixed-column reads, cutting each input record into fields by
// column as a layout says.
#pragma once

#include <initializer_list>
#include <span>

#include "records/channel_table.hpp"
#include "records/layout.hpp"
#include "records/value.hpp"

namespace metclust::records {

// What a read does when the input stream has no more records.
enum class AtEnd {
  Report,  // report 24 for the channel and end the run
  Return,  // return false and report nothing; the caller takes its branch
};

class RecordReader {
 public:
  explicit RecordReader(ChannelTable& channels) : channels_(channels) {}

  // Reads one or more records and fills the targets in order. A bad numeric
  // field ends the run with report 64. Returns false only with AtEnd::Return
  // when the stream ended.
  bool read(int unit, const Layout& layout, std::span<const Target> targets,
            AtEnd at_end = AtEnd::Report);
  bool read(int unit, const Layout& layout, std::initializer_list<Target> targets,
            AtEnd at_end = AtEnd::Report) {
    return read(unit, layout, std::span<const Target>(targets.begin(), targets.size()), at_end);
  }

 private:
  ChannelTable& channels_;
};

}  // namespace metclust::records
