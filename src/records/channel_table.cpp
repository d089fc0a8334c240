#include "records/channel_table.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <stdexcept>

namespace metclust::records {

struct ChannelTable::Channel {
  int unit = 0;
  int fd = -1;
  bool owns_fd = false;
  bool output = false;
  std::string name;  // shown in reports
  // Output: an existing file is cut off after the first record written.
  bool cut_pending = false;
  bool regular = false;
  off_t written = 0;
  // Identity of the connected file, to refuse a second connection to it.
  dev_t device = 0;
  ino_t inode = 0;
  // Input: the bytes read but not yet consumed, from `start` on.
  std::string buffer;
  std::size_t start = 0;
  bool at_end = false;
};

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

std::string_view trim_blanks(std::string_view name) {
  const std::size_t first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = name.find_last_not_of(' ');
  return name.substr(first, last - first + 1);
}

// The full path of a file name, from the current directory.
std::string full_path(std::string_view name) {
  if (name.empty()) return {};
  std::error_code ec;
  std::filesystem::path path(name);
  if (path.is_relative()) {
    std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) return std::string(name);
    path = cwd / path;
  }
  return path.lexically_normal().string();
}

int open_failure_report(int error) {
  switch (error) {
    case ENOENT:
      return report::kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return report::kAccessDenied;
    case ENXIO:
    case ENODEV:
      return report::kNoSuchDevice;
    case ENAMETOOLONG:
    case ENOTDIR:
    case EINVAL:
    case EILSEQ:
      return report::kBadFileName;
    default:
      return report::kOpenFailure;
  }
}

std::string_view catalog_text(int number) {
  switch (number) {
    case report::kAccessDenied:
      return "permission to access file denied";
    case report::kEndOfFile:
      return "end-of-file during read";
    case report::kFileNotFound:
      return "file not found";
    case report::kOpenFailure:
      return "open failure";
    case report::kWriteError:
      return "error during write";
    case report::kReadError:
      return "error during read";
    case report::kNoMemory:
      return "insufficient virtual memory";
    case report::kNoSuchDevice:
      return "no such device";
    case report::kBadFileName:
      return "file name specification error";
    case report::kListSyntax:
      return "list-directed I/O syntax error";
    case report::kOutputConversion:
      return "output conversion error";
    case report::kInputConversion:
      return "input conversion error";
    default:
      throw std::logic_error("report number outside the catalog");
  }
}

void append_number(std::string& out, long long value) {
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  (void)ec;
  out.append(digits, end);
}

}  // namespace

ChannelTable::ChannelTable(ConsoleStreams console) : console_(console) {
  // A console whose reader has gone away shows up as a failed write of the
  // console channel, reported like any other, not as a signal.
  ::signal(SIGPIPE, SIG_IGN);
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
  channel->fd = unit == kConsoleOut ? console_.out : console_.in;
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
  channel->name = full_path(trimmed);
  channels_.push_back(channel);

  // A name with a NUL byte cannot be handed to the file system intact.
  if (trimmed.find('\0') != std::string_view::npos) fail(report::kBadFileName, unit);
  const std::string path(trimmed);
  const int flags = channel->output ? (O_WRONLY | O_CREAT | O_CLOEXEC) : (O_RDONLY | O_CLOEXEC);
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) fail(open_failure_report(errno), unit);
  channel->fd = fd;
  channel->owns_fd = true;

  struct stat info {};
  if (::fstat(fd, &info) != 0) fail(report::kOpenFailure, unit);
  if (S_ISDIR(info.st_mode)) fail(report::kOpenFailure, unit);
  channel->regular = S_ISREG(info.st_mode);
  channel->device = info.st_dev;
  channel->inode = info.st_ino;
  channel->cut_pending = channel->output;

  // Two names for one file must never let an output overwrite an input or
  // interleave with another output; two inputs may share a file.
  for (const Channel* other : channels_) {
    if (other == channel || !other->owns_fd) continue;
    if (other->device == channel->device && other->inode == channel->inode &&
        (other->output || channel->output)) {
      fail(report::kOpenFailure, unit);
    }
  }
}

void ChannelTable::put_record(int unit, std::string_view bytes, bool line_end) {
  Channel& channel = connect_console(unit);
  if (!channel.output) throw std::logic_error("record written to an input channel");
  static constexpr char kLineEnd[2] = {'\r', '\n'};
  iovec parts[2] = {{const_cast<char*>(bytes.data()), bytes.size()},
                    {const_cast<char*>(kLineEnd), line_end ? sizeof kLineEnd : 0}};
  int count = 2;
  iovec* next = parts;
  while (count > 0) {
    const ssize_t done = ::writev(channel.fd, next, count);
    if (done < 0) {
      if (errno == EINTR) continue;
      fail(report::kWriteError, unit);
    }
    channel.written += done;
    std::size_t left = static_cast<std::size_t>(done);
    while (count > 0 && left >= next->iov_len) {
      left -= next->iov_len;
      ++next;
      --count;
    }
    if (count > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + left;
      next->iov_len -= left;
    }
  }
  if (channel.cut_pending) {
    channel.cut_pending = false;
    if (channel.regular && ::ftruncate(channel.fd, channel.written) != 0) {
      fail(report::kWriteError, unit);
    }
  }
}

std::optional<std::string_view> ChannelTable::next_record(int unit) {
  Channel& channel = connect_console(unit);
  if (channel.output) throw std::logic_error("record read from an output channel");
  for (;;) {
    const std::size_t lf = channel.buffer.find('\n', channel.start);
    if (lf != std::string::npos || (channel.at_end && channel.start < channel.buffer.size())) {
      const std::size_t end = lf == std::string::npos ? channel.buffer.size() : lf;
      std::string_view record(channel.buffer.data() + channel.start, end - channel.start);
      channel.start = lf == std::string::npos ? channel.buffer.size() : lf + 1;
      if (lf != std::string::npos && !record.empty() && record.back() == '\r') {
        record.remove_suffix(1);
      }
      // A lone Ctrl-Z typed at the console closes its input.
      if (unit == kConsoleIn && record == "\x1a") {
        channel.at_end = true;
        channel.start = channel.buffer.size();
        return std::nullopt;
      }
      return record;
    }
    if (channel.at_end) return std::nullopt;
    channel.buffer.erase(0, channel.start);
    channel.start = 0;
    const std::size_t old_size = channel.buffer.size();
    channel.buffer.resize(old_size + kReadChunk);
    ssize_t got;
    do {
      got = ::read(channel.fd, channel.buffer.data() + old_size, kReadChunk);
    } while (got < 0 && errno == EINTR);
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

int ChannelTable::exit_status_of(int number) { return (0xC0000000u + static_cast<unsigned>(number)) & 0xFFu; }

void ChannelTable::write_report_line(std::string_view line) {
  std::string bytes(line);
  bytes += "\r\n";
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(console_.err, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere left to report to
    done += static_cast<std::size_t>(n);
  }
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

void ChannelTable::fail(int number, int unit) {
  std::string text(catalog_text(number));
  if (number != report::kNoMemory) {
    text += ", unit ";
    append_number(text, unit);
    text += ", file ";
    text += name_of(unit);
  }
  fail_with_text(number, text);
}

void ChannelTable::fail_with_text(int number, std::string_view text) {
  write_report_line(report_line("severe", number, text));
  close_all();
  throw RunEnded(exit_status_of(number));
}

void ChannelTable::warn(int number, int unit) {
  std::string text(catalog_text(number));
  text += ", unit ";
  append_number(text, unit);
  text += ", file ";
  text += name_of(unit);
  write_report_line(report_line("error", number, text));
}

void ChannelTable::stop() { close_all(); }

void ChannelTable::close_all() {
  for (Channel* channel : channels_) {
    if (channel->owns_fd && channel->fd >= 0) ::close(channel->fd);
    channel->fd = -1;
    channel->owns_fd = false;
  }
}

}  // namespace metclust::records
