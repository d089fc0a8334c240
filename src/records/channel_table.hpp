// The channel table: the numbered channels through which every byte of a run
// passes (files 20-24, console -1 and -4), their connection, the failure
// reports on the error stream and the end of a run.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace metclust::records {

// Channel numbers of a job's files and of the console.
inline constexpr int kEma = 20;
inline constexpr int kNaq = 21;
inline constexpr int kScl = 22;
inline constexpr int kCls = 23;
inline constexpr int kPcl = 24;
inline constexpr int kConsoleOut = -1;
inline constexpr int kConsoleIn = -4;

// Report numbers of the catalog.
namespace report {
inline constexpr int kAccessDenied = 9;
inline constexpr int kEndOfFile = 24;
inline constexpr int kFileNotFound = 29;
inline constexpr int kOpenFailure = 30;
inline constexpr int kWriteError = 38;
inline constexpr int kReadError = 39;
inline constexpr int kNoMemory = 41;
inline constexpr int kNoSuchDevice = 42;
inline constexpr int kBadFileName = 43;
inline constexpr int kListSyntax = 59;
inline constexpr int kOutputConversion = 63;
inline constexpr int kInputConversion = 64;
}  // namespace report

// Thrown after a severe report has been written (or by a normal stop): the
// main program lets it unwind to its top, where every channel is closed and
// the process ends with exit_status().
class RunEnded : public std::exception {
 public:
  explicit RunEnded(int exit_status) : status_(exit_status) {}
  int exit_status() const { return status_; }
  const char* what() const noexcept override { return "run ended"; }

 private:
  int status_;
};

// The process's standard streams as file descriptors; tests hand in others.
struct ConsoleStreams {
  int in = 0;
  int out = 1;
  int err = 2;
};

class ChannelTable {
 public:
  enum class Status { Old, Unknown };

  explicit ChannelTable(ConsoleStreams console = {});
  ~ChannelTable();
  ChannelTable(const ChannelTable&) = delete;
  ChannelTable& operator=(const ChannelTable&) = delete;

  // Connects a file channel. The name is the fixed-length text as given; its
  // leading and trailing blanks are dropped. "OLD" needs an existing file and
  // reads it from its first record; "UNKNOWN" opens or creates the file
  // without emptying it and cuts it off after the first record written. A
  // failure, or a file that is already connected to another channel, ends the
  // run with its report.
  void open(int unit, std::string_view name, Status status);

  // Hands one complete record to the operating system: its bytes, then CR LF
  // unless line_end is false (the $ item). A refused write ends the run with
  // report 38.
  void put_record(int unit, std::string_view bytes, bool line_end = true);

  // The next unread record of an input channel, without its LF or CR LF; the
  // view stays valid until the next call for the same channel. nullopt at
  // the end of the stream. A failing read ends the run with report 39.
  std::optional<std::string_view> next_record(int unit);

  // Writes the report line of a catalog report for the channel and, being
  // severe, ends the run (throws RunEnded with the report's exit status).
  [[noreturn]] void fail(int number, int unit);
  // Writes an error-severity report line (report 63) and returns.
  void warn(int number, int unit);
  // A severe report whose text is not in the catalog: "forrtl: severe (N): "
  // followed by the given text; ends the run.
  [[noreturn]] void fail_with_text(int number, std::string_view text);

  // Normal end: closes every channel; the exit status is 0.
  void stop();

  // The name shown in reports: the full path of a file channel, "CONOUT$" or
  // "CONIN$" for the console.
  std::string name_of(int unit) const;

  // Exit status of a severe report: 0xC0000000 plus the number, as much of it
  // as the system keeps (all of it on Windows, the low 8 bits on POSIX).
  static int exit_status_of(int number);

 private:
  struct Channel;
  Channel* find(int unit);
  const Channel* find(int unit) const;
  Channel& connect_console(int unit);
  void write_report_line(std::string_view line);
  void close_all();

  ConsoleStreams console_;
  std::vector<Channel*> channels_;
};

}  // namespace metclust::records
