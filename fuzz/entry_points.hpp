// Entry points of the fuzz targets, replayed by the tests as well. Each
// takes arbitrary bytes, runs them through the program's own readers, a whole
// job or the clustering engine, and returns an empty text when every rule a
// run must keep was kept, or a description of the broken rule. A crash, a
// hang or a sanitizer report is a fault as well; those end the process
// instead of returning.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "support/scratch_folder.hpp"

namespace metclust::fuzz {

// A folder of its own in memory (/dev/shm) when the system has one, else
// under /tmp, with a short path so that the job's file names fit the
// 50-column answers of the dialogue; and /dev/null for console output.
class Workspace {
 public:
  Workspace();
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  std::string file(std::string_view name) const { return folder_.file(name); }
  void put(std::string_view name, std::string_view bytes) const { folder_.put(name, bytes); }
  std::string take(std::string_view name) const { return folder_.take(name); }
  int open_read(std::string_view name) const { return folder_.open_for_console(name, false); }
  int open_write(std::string_view name) const { return folder_.open_for_console(name, true); }
  int null_fd() const { return null_; }

 private:
  testing::ScratchFolder folder_;
  int null_;
};

// Reads a stream with the program's readers. The first byte gives the
// number of read statements (1 to 16) that follow it as one byte each; the
// rest of the input is the stream, connected both as the .EMA channel and as
// console input. Its start is first read as a numeric field with and without
// a blank put in, which must read alike bit for bit; then the statements
// repeat in turn until a read finds the end of the stream or ends the run. A
// statement byte holds the kind of read in its low three bits and a count p
// (0 to 31) in the other five:
//   0  free-form read of p integers from the .EMA channel
//   1  free-form read of p integers from the console, returning at its end
//   2  (A) into a 50-character title
//   3  (4(5X,A1)) into four option letters
//   4  (I6,4X,A8) year record, returning at the end of the stream
//   5  matrix row: (I6,1X,A8,1X,(T17,10E16.8)) with p + 1 values
//   6  one of eight further layouts, chosen by p, from the .EMA channel
//   7  the same from the console
// A read may end the run only with report 24, 39, 59 or 64, and the error
// stream holds at most one report.
std::string read_records(std::span<const std::uint8_t> data, const Workspace& space);

// What one whole job left behind.
struct JobOutcome {
  int status = -1;
  std::string console;  // standard output: the dialogue and the run's messages
  std::string reports;  // the error stream
  std::string SCL, CLS, PCL;
};

// Runs one whole job in the workspace, in this process: `ema` as the .EMA
// file, an empty .NAQ, output files left from no earlier run, the file names
// typed in full, and `strategy` as the answer to the strategy question.
JobOutcome run_job_in(const Workspace& space, std::string_view ema, std::string_view strategy);

// The rules every finished job keeps, whatever its input: a known exit
// status; on the error stream only "output conversion" reports and, when the
// run was ended, one severe report with the matching number as its last
// line; output files that hold whole CR LF records; a .PCL that is
// written to only once the .SCL has reached a year's dendrogram; and the
// same fusion records in .SCL and .CLS.
std::string check_job(const JobOutcome& job);

// The whole-job fuzz input: the first byte chooses the strategy answer
// (-1 to 10, so that numbers outside the menu are met too), the rest is the
// .EMA file. The job is run twice in this process: both runs must keep the
// rules and agree byte for byte, since nothing may carry over from one run
// to the next.
std::string run_whole_job(std::span<const std::uint8_t> data, const Workspace& space);

// The clustering engine alone: the first byte gives the number of locations
// (2 to 64), the second the strategy (0 to 9, so that numbers outside the
// menu are met too), and each further byte one proximity of the packed
// matrix (missing ones are 0). Bytes below 128 give the small integers 0 to
// 7, so that ties are common; the others pick from values at the edges:
// the search ceiling and the reals beside it, infinities, NaN, the largest
// and the smallest magnitudes. Both pair searches must make the same
// fusions at the same levels, bit for bit, and end alike.
std::string cluster_both_ways(std::span<const std::uint8_t> data);

}  // namespace metclust::fuzz
