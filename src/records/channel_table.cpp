#include "records/channel_table.hpp"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "records/file_names.hpp"
#include "records/located_error.hpp"
#include "records/platform.hpp"

namespace metclust::records {

struct ChannelTable::Channel {
  int unit = 0;
  platform::Handle handle = platform::kNoHandle;
  bool owns_handle = false;
  bool locked = false;  // holds the file's lock against other runs
  bool output = false;
  bool nowhere = false;  // a console whose records are dropped
  std::string name;  // shown in reports
  // Output: an existing file is cut off after the first record written.
  bool cut_pending = false;
  bool regular = false;
  std::uint64_t written = 0;
  // Identity of the connected file, to refuse a second connection to it.
  bool identified = false;
  platform::FileIdentity identity;
  // Input: the bytes read but not yet consumed, from `start` on.
  std::string buffer;
  std::size_t start = 0;
  // Bytes of the buffer before this position hold no LF: a long record is
  // searched once, not once per chunk read.
  std::size_t scanned = 0;
  bool at_end = false;
  // An in-memory channel: input read from `buffer` alone, output kept in
  // `memory`.
  bool in_memory = false;
  std::string memory;
  std::int64_t records = 0;
};

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

std::string_view trim_blanks(std::string_view name) {
  const std::size_t first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = name.find_last_not_of(' ');
  return name.substr(first, last - first + 1);
}

void append_number(std::string& out, long long value) {
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  (void)ec;
  out.append(digits, end);
}

}  // namespace

ChannelTable::ChannelTable(ConsoleStreams console, Failures failures)
    : console_(console), failures_(failures) {
  platform::prepare_process();
}

void ChannelTable::open_bytes(int unit, std::string name, std::string bytes) {
  if (find(unit) != nullptr) throw std::logic_error("channel connected twice");
  auto* channel = new Channel;
  channel->unit = unit;
  channel->name = std::move(name);
  channel->in_memory = true;
  channel->buffer = std::move(bytes);
  channel->at_end = true;
  channels_.push_back(channel);
}

void ChannelTable::open_memory(int unit, std::string name) {
  if (find(unit) != nullptr) throw std::logic_error("channel connected twice");
  auto* channel = new Channel;
  channel->unit = unit;
  channel->name = std::move(name);
  channel->in_memory = true;
  channel->output = true;
  channels_.push_back(channel);
}

std::string ChannelTable::take_memory(int unit) {
  Channel* channel = find(unit);
  if (channel == nullptr || !channel->in_memory || !channel->output) {
    throw std::logic_error("no in-memory output channel");
  }
  return std::move(channel->memory);
}

std::int64_t ChannelTable::record_number(int unit) const {
  const Channel* channel = find(unit);
  return channel == nullptr ? 0 : channel->records;
}

ChannelTable::~ChannelTable() {
  close_all();
  for (Channel* channel : channels_) delete channel;
}

ChannelTable::Channel* ChannelTable::find(int unit) {
  for (Channel* channel : channels_) {
    if (channel->unit == unit) return channel;
  }
  return nullptr;
}

const ChannelTable::Channel* ChannelTable::find(int unit) const {
  for (const Channel* channel : channels_) {
    if (channel->unit == unit) return channel;
  }
  return nullptr;
}

ChannelTable::Channel& ChannelTable::connect_console(int unit) {
  if (Channel* channel = find(unit)) return *channel;
  if (unit != kConsoleOut && unit != kConsoleIn) {
    throw std::logic_error("channel used before it was connected");
  }
  auto* channel = new Channel;
  channel->unit = unit;
  channel->output = unit == kConsoleOut;
  const int stream = unit == kConsoleOut ? console_.out : console_.in;
  channel->nowhere = stream == ConsoleStreams::kNowhere;
  if (!channel->nowhere) channel->handle = platform::standard_stream(stream);
  channel->name = unit == kConsoleOut ? "CONOUT$" : "CONIN$";
  channels_.push_back(channel);
  return *channel;
}

void ChannelTable::open(int unit, std::string_view name, Status status) {
  if (find(unit) != nullptr) throw std::logic_error("channel connected twice");
  auto* channel = new Channel;
  channel->unit = unit;
  channel->output = status == Status::Unknown;
  const std::string_view trimmed = trim_blanks(name);
  channel->name = trimmed.empty() ? std::string() : platform::full_path(trimmed);
  channels_.push_back(channel);

  // A name with a NUL byte cannot be handed to the file system intact.
  if (trimmed.find('\0') != std::string_view::npos) fail(report::kBadFileName, unit);
  const platform::OpenedFile opened = platform::open_file(trimmed, channel->output);
  if (opened.failure != 0) fail(opened.failure, unit);
  channel->handle = opened.handle;
  channel->owns_handle = true;
  channel->regular = opened.regular;
  channel->identified = opened.identified;
  channel->identity = opened.identity;
  channel->cut_pending = channel->output;

  // Two names for one file must never let an output overwrite an input or
  // interleave with another output; two inputs may share a file.
  for (const Channel* other : channels_) {
    if (other == channel || !other->owns_handle || !other->identified || !channel->identified) {
      continue;
    }
    if (other->identity == channel->identity && (other->output || channel->output)) {
      fail(report::kOpenFailure, unit);
    }
  }
}

void ChannelTable::make_folder(int unit, std::string_view name) {
  std::error_code ec;
  const std::filesystem::path folder = path_of_name(name);
  std::filesystem::create_directories(folder, ec);
  if (!ec && std::filesystem::is_directory(folder, ec)) return;
  if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
  // The folder is being made, not looked for: a system that refuses it
  // with "no such file" (as /proc does) gets the plain open failure.
  int number = report::kOpenFailure;
  const std::error_condition why = ec.default_error_condition();
  if (why == std::errc::permission_denied || why == std::errc::operation_not_permitted ||
      why == std::errc::read_only_file_system) {
    number = report::kAccessDenied;
  } else if (why == std::errc::not_a_directory || why == std::errc::file_exists ||
             why == std::errc::filename_too_long || why == std::errc::invalid_argument) {
    number = report::kBadFileName;
  } else if (why == std::errc::no_such_device || why == std::errc::no_such_device_or_address) {
    number = report::kNoSuchDevice;
  }
  // The report names the folder in the place of the file.
  if (find(unit) != nullptr) throw std::logic_error("channel connected twice");
  auto* channel = new Channel;
  channel->unit = unit;
  channel->output = true;
  channel->name = platform::full_path(name);
  channels_.push_back(channel);
  fail(number, unit);
}

void ChannelTable::lock_outputs(std::chrono::milliseconds patience) {
  constexpr unsigned kStep = 25;  // milliseconds between two tries
  for (std::int64_t waited = 0;; waited += kStep) {
    Channel* busy = nullptr;
    for (Channel* channel : channels_) {
      if (!channel->output || !channel->owns_handle || !channel->regular || channel->locked) continue;
      if (!platform::try_lock(channel->handle)) {
        busy = channel;
        break;
      }
      channel->locked = true;
    }
    if (busy == nullptr) return;
    // Nothing is held while waiting, so that two runs that want some of the
    // same files in another order never wait for each other.
    for (Channel* channel : channels_) {
      if (channel->locked) platform::unlock(channel->handle);
      channel->locked = false;
    }
    if (waited >= patience.count()) fail(report::kOutputInUse, busy->unit);
    platform::pause_milliseconds(kStep);
  }
}

void ChannelTable::put_record(int unit, std::string_view bytes, bool line_end) {
  Channel& channel = connect_console(unit);
  if (!channel.output) throw std::logic_error("record written to an input channel");
  const std::string_view tail = line_end ? std::string_view("\r\n") : std::string_view();
  ++channel.records;
  if (channel.nowhere) return;
  if (channel.in_memory) {
    channel.memory += bytes;
    channel.memory += tail;
    return;
  }
  if (!platform::write_record(channel.handle, bytes, tail)) {
    // Whatever part of the refused record reached the file is cut off again,
    // so that the file ends with the last whole record of the run.
    if (channel.regular && !channel.cut_pending) (void)platform::cut_off(channel.handle, channel.written);
    fail(report::kWriteError, unit);
  }
  channel.written += bytes.size() + tail.size();
  if (channel.cut_pending) {
    channel.cut_pending = false;
    if (channel.regular && !platform::cut_off(channel.handle, channel.written)) {
      fail(report::kWriteError, unit);
    }
  }
}

std::optional<std::string_view> ChannelTable::next_record(int unit) {
  Channel& channel = connect_console(unit);
  if (channel.output) throw std::logic_error("record read from an output channel");
  if (channel.nowhere) return std::nullopt;
  for (;;) {
    const std::size_t lf = channel.buffer.find('\n', std::max(channel.start, channel.scanned));
    if (lf != std::string::npos || (channel.at_end && channel.start < channel.buffer.size())) {
      const std::size_t end = lf == std::string::npos ? channel.buffer.size() : lf;
      std::string_view record(channel.buffer.data() + channel.start, end - channel.start);
      channel.start = lf == std::string::npos ? channel.buffer.size() : lf + 1;
      if (lf != std::string::npos && !record.empty() && record.back() == '\r') {
        record.remove_suffix(1);
      }
      ++channel.records;
      // A lone Ctrl-Z typed at the console closes its input.
      if (unit == kConsoleIn && record == "\x1a") {
        channel.at_end = true;
        channel.start = channel.buffer.size();
        return std::nullopt;
      }
      return record;
    }
    if (channel.at_end) return std::nullopt;
    channel.scanned = channel.buffer.size() - channel.start;
    channel.buffer.erase(0, channel.start);
    channel.start = 0;
    const std::size_t old_size = channel.buffer.size();
    channel.buffer.resize(old_size + kReadChunk);
    const std::int64_t got =
        platform::read_some(channel.handle, channel.buffer.data() + old_size, kReadChunk);
    if (got < 0) {
      channel.buffer.resize(old_size);
      fail(report::kReadError, unit);
    }
    channel.buffer.resize(old_size + static_cast<std::size_t>(got));
    if (got == 0) channel.at_end = true;
  }
}

std::string ChannelTable::name_of(int unit) const {
  if (const Channel* channel = find(unit)) return channel->name;
  if (unit == kConsoleOut) return "CONOUT$";
  if (unit == kConsoleIn) return "CONIN$";
  return {};
}

int ChannelTable::exit_status_of(int number) { return platform::exit_status(number); }

void ChannelTable::write_report_line(std::string_view line) {
  // A report that cannot be written has nowhere left to go.
  (void)platform::write_record(platform::standard_stream(console_.err), line, "\r\n");
}

namespace {
std::string report_line(std::string_view severity, int number, std::string_view text) {
  std::string line = "forrtl: ";
  line += severity;
  line += " (";
  append_number(line, number);
  line += "): ";
  line += text;
  return line;
}
}  // namespace

void ChannelTable::fail(int number, int unit, std::initializer_list<std::int64_t> values) {
  std::string text = report::catalog_text(number, std::span(values.begin(), values.size()));
  if (failures_ == Failures::Throw) {
    const Channel* channel = find(unit);
    std::int64_t line = record_number(unit);
    if (number == report::kEndOfFile) {
      text = "the file ends where another record is needed";
      ++line;
    }
    throw LocatedError(channel == nullptr ? name_of(unit) : channel->name, line, 0, text, number);
  }
  if (report::names_channel(number)) {
    text += ", unit ";
    append_number(text, unit);
    text += ", file ";
    text += name_of(unit);
  }
  end_run(number, text);
}

void ChannelTable::fail_at(int number, int unit, std::int64_t column, std::string_view detail) {
  if (failures_ == Failures::Throw) {
    throw LocatedError(name_of(unit), record_number(unit), column, std::string(detail), number);
  }
  fail(number, unit);
}

void ChannelTable::end_run(int number, std::string_view text) {
  write_report_line(report_line("severe", number, text));
  close_all();
  throw RunEnded(exit_status_of(number));
}

void ChannelTable::warn(int number, int unit) {
  if (failures_ == Failures::Throw) {
    throw LocatedError(name_of(unit), record_number(unit), 0,
                       "a value too wide for its field would be written as asterisks");
  }
  std::string text = report::catalog_text(number);
  text += ", unit ";
  append_number(text, unit);
  text += ", file ";
  text += name_of(unit);
  write_report_line(report_line("error", number, text));
}

void ChannelTable::stop() { close_all(); }

void ChannelTable::close_all() {
  for (Channel* channel : channels_) {
    if (channel->locked) platform::unlock(channel->handle);
    if (channel->owns_handle) platform::close_file(channel->handle);
    channel->handle = platform::kNoHandle;
    channel->owns_handle = false;
    channel->locked = false;
  }
}

}  // namespace metclust::records
