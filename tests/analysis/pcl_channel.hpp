// A channel table whose .SCL, .CLS and .PCL channels are files in a scratch
// folder, with the console on files there too; the bytes of each file can be
// taken back whole.
#pragma once

#include <unistd.h>

#include <string>

#include "records/channel_table.hpp"
#include "records/record_writer.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::analysis::test_support {

class OutputFiles {
 public:
  OutputFiles()
      : out_(folder_.open_for_console("stdout", true)),
        err_(folder_.open_for_console("stderr", true)),
        channels_(records::ConsoleStreams{0, out_, err_}),
        writer_(channels_) {
    using Status = records::ChannelTable::Status;
    channels_.open(records::kScl, folder_.file("x.SCL"), Status::Unknown);
    channels_.open(records::kCls, folder_.file("x.CLS"), Status::Unknown);
    channels_.open(records::kPcl, folder_.file("x.PCL"), Status::Unknown);
  }
  ~OutputFiles() {
    ::close(out_);
    ::close(err_);
  }

  records::RecordWriter& writer() { return writer_; }
  std::string scl() const { return folder_.take("x.SCL"); }
  std::string cls() const { return folder_.take("x.CLS"); }
  std::string pcl() const { return folder_.take("x.PCL"); }
  std::string console() const { return folder_.take("stdout") + folder_.take("stderr"); }

 private:
  metclust::testing::ScratchFolder folder_;
  int out_;
  int err_;
  records::ChannelTable channels_;
  records::RecordWriter writer_;
};

}  // namespace metclust::analysis::test_support
