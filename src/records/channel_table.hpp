// The channel table: the numbered channels through which every byte of a run
// passes (files 20-24, console -1 and -4), their connection, the failure
// reports on the error stream and the end of a run.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/reports.hpp"

namespace metclust::records {

// Channel numbers of a job's files and of the console.
inline constexpr int kEma = 20;
inline constexpr int kNaq = 21;
inline constexpr int kScl = 22;
inline constexpr int kCls = 23;
inline constexpr int kPcl = 24;
inline constexpr int kConsoleOut = -1;
inline constexpr int kConsoleIn = -4;


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
// A console stream given as kNowhere is left unconnected: its output records
// are dropped and its input is at its end. The error stream always has a place.
struct ConsoleStreams {
  static constexpr int kNowhere = -1;
  int in = 0;
  int out = 1;
  int err = 2;
};

class ChannelTable {
 public:
  enum class Status { Old, Unknown };
  // What a failure does: write its report line and end the run (metclust),
  // or throw a records::LocatedError naming the file, the record and, where
  // the reader knows it, the column (the companion programs, which read and
  // write their files through in-memory channels).
  enum class Failures { Report, Throw };

  explicit ChannelTable(ConsoleStreams console = {}, Failures failures = Failures::Report);
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

  // Makes the folder `name` and the folders above it where missing, for the
  // output channel `unit` that is to be connected in it. A folder that
  // cannot be made ends the run with the report of the system's reason
  // (9 when permission is denied, 43 when a file stands in the way, ...),
  // naming the folder.
  void make_folder(int unit, std::string_view name);

  // Takes the lock of every output file connected, so that two runs never
  // write the same file at once: while another run holds any of them, none
  // is kept and the run waits, up to `patience`; then the run ends with
  // report 95 naming the first file still held. Devices and pipes are not
  // locked. Closing the channels releases the locks.
  // (records::kLockPatience is how long a run waits.)
  void lock_outputs(std::chrono::milliseconds patience);

  // An input channel over the given bytes, read like a file of that name.
  void open_bytes(int unit, std::string name, std::string bytes);
  // An output channel whose records are kept in memory; take_memory() hands
  // over the bytes written so far.
  void open_memory(int unit, std::string name);
  std::string take_memory(int unit);

  // Records read from an input channel, or written to an output channel, so
  // far: while a record is being read, its line number.
  std::int64_t record_number(int unit) const;

  // Hands one complete record to the operating system: its bytes, then CR LF
  // unless line_end is false (the $ item). A refused write ends the run with
  // report 38.
  void put_record(int unit, std::string_view bytes, bool line_end = true);

  // The next unread record of an input channel, without its LF or CR LF; the
  // view stays valid until the next call for the same channel. nullopt at
  // the end of the stream. A failing read ends the run with report 39.
  std::optional<std::string_view> next_record(int unit);

  // Writes the report line of a catalogue report for the channel and, being
  // severe, ends the run (throws RunEnded with the report's exit status).
  // `values` are the numbers its text names (the year of 91 and 92, ...).
  [[noreturn]] void fail(int number, int unit, std::initializer_list<std::int64_t> values = {});
  // The same failure found by a reader at a known column of the current
  // record; `detail` says what was expected and found. Only a throwing table
  // shows them.
  [[noreturn]] void fail_at(int number, int unit, std::int64_t column, std::string_view detail);
  // Writes an error-severity report line (report 63) and returns.
  void warn(int number, int unit);

  bool throws() const { return failures_ == Failures::Throw; }

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
  [[noreturn]] void end_run(int number, std::string_view text);

  ConsoleStreams console_;
  Failures failures_;
  std::vector<Channel*> channels_;
};

}  // namespace metclust::records
