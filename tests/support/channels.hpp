// A real channel table for the tests of the record readers and writers: the
// console's input and both of its output streams are files of a scratch
// folder, and so are the job files opened on it: JOB.EMA on the .EMA
// channel, JOB.SCL, JOB.CLS and JOB.PCL on the output channels. The bytes of
// each can be taken back whole.
#pragma once

#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>

#include "records/channel_table.hpp"
#include "records/record_writer.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::testing {

class ChannelRig {
 public:
  // The console's input holds `console_input`.
  explicit ChannelRig(std::string_view console_input = {}) {
    folder_.put("console", console_input);
    in_ = folder_.open_for_console("console", false);
    out_ = folder_.open_for_console("stdout", true);
    err_ = folder_.open_for_console("stderr", true);
    channels_.emplace(records::ConsoleStreams{in_, out_, err_});
  }
  ~ChannelRig() {
    writer_.reset();
    channels_.reset();
    ::close(in_);
    ::close(out_);
    ::close(err_);
  }
  ChannelRig(const ChannelRig&) = delete;
  ChannelRig& operator=(const ChannelRig&) = delete;

  // JOB.EMA with these bytes, opened on the .EMA channel as a run opens it.
  ChannelRig& open_ema(std::string_view bytes) {
    folder_.put("JOB.EMA", bytes);
    channels_->open(records::kEma, folder_.file("JOB.EMA"), records::ChannelTable::Status::Old);
    return *this;
  }
  // JOB.SCL, JOB.CLS and JOB.PCL opened on their channels.
  ChannelRig& open_outputs() {
    using Status = records::ChannelTable::Status;
    channels_->open(records::kScl, folder_.file("JOB.SCL"), Status::Unknown);
    channels_->open(records::kCls, folder_.file("JOB.CLS"), Status::Unknown);
    channels_->open(records::kPcl, folder_.file("JOB.PCL"), Status::Unknown);
    return *this;
  }

  records::ChannelTable& channels() { return *channels_; }
  records::RecordWriter& writer() {
    if (!writer_) writer_.emplace(*channels_);
    return *writer_;
  }
  const ScratchFolder& folder() const { return folder_; }

  std::string scl() const { return folder_.take("JOB.SCL"); }
  std::string cls() const { return folder_.take("JOB.CLS"); }
  std::string pcl() const { return folder_.take("JOB.PCL"); }
  // The error stream, where the run's reports go.
  std::string reports() const { return folder_.take("stderr"); }
  // Both console output streams, standard output first.
  std::string console() const { return folder_.take("stdout") + folder_.take("stderr"); }

  // The severe report that ends a run on a read of JOB.EMA.
  std::string severe_line(int number, const std::string& text) const {
    return "forrtl: severe (" + std::to_string(number) + "): " + text + ", unit 20, file " +
           folder_.file("JOB.EMA") + "\r\n";
  }

 private:
  ScratchFolder folder_;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::optional<records::ChannelTable> channels_;
  std::optional<records::RecordWriter> writer_;
};

// Runs `body`, which is meant to end the run, and gives the exit status it
// ends with; -1 when it does not end the run.
template <typename Body>
int exit_status_of_run(Body body) {
  try {
    body();
  } catch (const records::RunEnded& end) {
    return end.exit_status();
  }
  return -1;
}

}  // namespace metclust::testing
