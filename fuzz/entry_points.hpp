// Entry points shared by the fuzz targets and by the tests that replay the
// inputs the fuzzers once found faults with. Each takes arbitrary bytes, runs
// them through the program's own readers or through a whole job, and returns
// an empty text when every rule a run must keep was kept, or a description of
// the broken rule. A crash, a hang or a sanitizer report is a fault as well;
// those end the process instead of returning.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/agglom.hpp"
#include "cluster/packed.hpp"
#include "control/run.hpp"
#include "formats/ema.hpp"
#include "records/channel_table.hpp"
#include "records/free_form_reader.hpp"
#include "records/layout.hpp"
#include "records/numeric_input.hpp"
#include "records/record_reader.hpp"

namespace metclust::fuzz {

// A folder of its own under /dev/shm (memory) or /tmp, with a short path so
// that the job's file names fit the 50-column answers of the dialogue.
class Workspace {
 public:
  Workspace() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
      std::string pattern = std::string(base) + "/mcfz-XXXXXX";
      if (::mkdtemp(pattern.data()) != nullptr) {
        folder_ = pattern;
        break;
      }
    }
    if (folder_.empty()) throw std::runtime_error("no folder for the fuzzing workspace");
    null_ = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  }
  ~Workspace() {
    for (const char* name : kNames) ::unlink(file(name).c_str());
    ::rmdir(folder_.c_str());
    ::close(null_);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  std::string file(std::string_view name) const { return folder_ + "/" + std::string(name); }
  int null_fd() const { return null_; }

  void put(std::string_view name, std::string_view bytes) const {
    const int fd = ::open(file(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + file(name));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done != bytes.size()) throw std::runtime_error("short write to " + file(name));
  }

  std::string take(std::string_view name) const {
    std::string bytes;
    const int fd = ::open(file(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    char chunk[1 << 14];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
  }

  int open_read(std::string_view name) const {
    return ::open(file(name).c_str(), O_RDONLY | O_CLOEXEC);
  }
  int open_write(std::string_view name) const {
    return ::open(file(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }

  static constexpr std::array<const char*, 8> kNames = {
      "JOB.EMA", "JOB.NAQ", "JOB.SCL", "JOB.CLS", "JOB.PCL", "answers", "stderr", "stream"};

 private:
  std::string folder_;
  int null_ = -1;
};

namespace detail {

// Exit statuses a run may end with: 0, the catalog reports a job can meet
// with its files in place, and the refusals of the run header and the years.
inline bool known_status(int status) {
  namespace report = records::report;
  constexpr int kKnown[] = {0,
                            report::kEndOfFile,
                            report::kWriteError,
                            report::kReadError,
                            report::kNoMemory,
                            report::kListSyntax,
                            report::kInputConversion,
                            report::kLocationsBelowOne,
                            report::kLocationsOutOfRange,
                            report::kNoPairBelowCeiling};
  return std::find(std::begin(kKnown), std::end(kKnown), status) != std::end(kKnown);
}

inline std::vector<std::string_view> crlf_lines(std::string_view bytes, bool& complete) {
  std::vector<std::string_view> lines;
  complete = true;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find("\r\n");
    if (end == std::string_view::npos) {
      complete = false;
      lines.push_back(bytes);
      break;
    }
    lines.push_back(bytes.substr(0, end));
    bytes.remove_prefix(end + 2);
  }
  return lines;
}

// The kinds of field a layout takes values for, in order, over as many
// passes as `count` values need (a pass after the first starts at the
// layout's reversion point).
inline void field_kinds(const std::vector<records::LayoutItem>& items, std::size_t start,
                        std::vector<records::LayoutItem::Kind>& kinds, std::size_t count) {
  for (std::size_t k = start; k < items.size() && kinds.size() < count; ++k) {
    const records::LayoutItem& item = items[k];
    if (item.kind == records::LayoutItem::Kind::Group) {
      for (int r = 0; r < item.repeat && kinds.size() < count; ++r) {
        field_kinds(item.items, 0, kinds, count);
      }
    } else if (item.takes_value()) {
      for (int r = 0; r < item.repeat && kinds.size() < count; ++r) kinds.push_back(item.kind);
    }
  }
}

// The fusion records of .SCL: the records between each fusion heading and
// the message that follows the fusions (or the end of the file).
inline std::vector<std::string_view> scl_fusions(std::string_view SCL) {
  bool complete = false;
  std::vector<std::string_view> fusions;
  bool inside = false;
  for (std::string_view line : crlf_lines(SCL, complete)) {
    if (line == "    Gpi + Gpj = Gpij     D(ij)") {
      inside = true;
    } else if (line == " Calculate dendrogram") {
      inside = false;
    } else if (inside) {
      fusions.push_back(line);
    }
  }
  return fusions;
}

// The fusion records of .CLS: after its four opening records, the only
// records with " + " in columns 8 to 10 (year records have blanks there,
// counts and elimination vectors no "+").
inline std::vector<std::string_view> cls_fusions(std::string_view CLS) {
  bool complete = false;
  const std::vector<std::string_view> lines = crlf_lines(CLS, complete);
  std::vector<std::string_view> fusions;
  for (std::size_t k = 4; k < lines.size(); ++k) {
    if (lines[k].substr(std::min<std::size_t>(7, lines[k].size()), 3) == " + ") {
      fusions.push_back(lines[k]);
    }
  }
  return fusions;
}

// Blanks in a numeric field are ignored wherever they stand, so the start
// of the stream (up to its first line end, at most 48 bytes) read as a field
// must give the same result, bit for bit, with one more blank put in at a
// place the statement byte chooses: a field in its common written form and
// one with a blank inside are taken by different paths of the reader.
inline std::string blank_makes_no_difference(std::span<const std::uint8_t> stream,
                                             std::uint8_t where) {
  std::string field(reinterpret_cast<const char*>(stream.data()),
                    std::min<std::size_t>(stream.size(), 48));
  field.resize(std::min(field.find('\n'), field.size()));
  std::string spaced = field;
  spaced.insert(where % (field.size() + 1), 1, ' ');
  const int digits = where % 10;
  if (records::parse_int_field(field) != records::parse_int_field(spaced)) {
    return "Iw reads \"" + field + "\" and \"" + spaced + "\" differently";
  }
  const auto bits = [](const auto& value) -> std::optional<std::uint64_t> {
    if (!value) return std::nullopt;
    return static_cast<std::uint64_t>(std::bit_cast<std::conditional_t<
        sizeof(*value) == 8, std::uint64_t, std::uint32_t>>(*value));
  };
  if (bits(records::parse_real_field<double>(field, digits)) !=
          bits(records::parse_real_field<double>(spaced, digits)) ||
      bits(records::parse_real_field<float>(field, digits)) !=
          bits(records::parse_real_field<float>(spaced, digits))) {
    return "Ew.d reads \"" + field + "\" and \"" + spaced + "\" differently";
  }
  return {};
}

}  // namespace detail

// Reads a stream with the program's readers. The first byte gives the
// number of read statements (1 to 16) that follow it as one byte each; the
// rest of the input is the stream, connected both as the .EMA channel and as
// console input. Its start is first read as a numeric field with and without
// a blank put in (blank_makes_no_difference); then the statements repeat in
// turn until a read finds the end of the stream or ends the run. A statement
// byte holds the kind of read in its low three bits and a count p (0 to 31)
// in the other five:
//   0  free-form read of p integers from the .EMA channel
//   1  free-form read of p integers from the console, returning at its end
//   2  (A) into a 50-character title
//   3  (4(5X,A1)) into four option letters
//   4  (I6,4X,A8) year record, returning at the end of the stream
//   5  matrix row: (I6,1X,A8,1X,(T17,10E16.8)) with p + 1 values
//   6  a layout of the table below, chosen by p, from the .EMA channel
//   7  the same from the console
inline std::string read_records(std::span<const std::uint8_t> data, const Workspace& space) {
  using records::Layout;
  static const std::array<Layout, 8> kOthers = {
      Layout("(I3,/,F8.2,T2,A4)"),  Layout("(2(I2,1X),E10.3)"), Layout("(A12,A3)"),
      Layout("(T5,I4,T1,I4)"),      Layout("(3X,2(F5.1,A2))"),  Layout("(I1)"),
      Layout("(E16.8,/,/,E12.4)"),  Layout("(10X,I11,F4.0)"),
  };

  if (data.empty()) return {};
  const std::size_t statements = (data[0] % 16) + 1u;
  if (data.size() < 1 + statements) return {};
  const std::span<const std::uint8_t> ops = data.subspan(1, statements);
  const std::span<const std::uint8_t> stream = data.subspan(1 + statements);
  if (std::string broken = detail::blank_makes_no_difference(stream, ops[0]); !broken.empty()) {
    return broken;
  }
  space.put("stream", std::string_view(reinterpret_cast<const char*>(stream.data()), stream.size()));

  const int console_in = space.open_read("stream");
  const int err = space.open_write("stderr");
  std::string broken;
  try {
    records::ChannelTable channels({console_in, space.null_fd(), err});
    records::RecordReader fixed(channels);
    records::FreeFormReader free_form(channels);
    formats::EmaReader ema(channels);
    channels.open(records::kEma, space.file("stream"), records::ChannelTable::Status::Old);

    std::vector<std::int32_t> integers;
    std::vector<double> reals;
    std::vector<float> shorts;
    std::vector<std::array<char, 8>> texts;
    std::vector<records::Target> targets;
    std::array<char, 50> title{};
    std::array<char, 4> letters{};
    // Enough turns for any stream the fuzzer makes; each turn takes at least
    // one record or finds the end.
    for (std::size_t turn = 0; turn < 100000; ++turn) {
      const std::uint8_t op = ops[turn % ops.size()];
      const unsigned p = op >> 3;
      bool more = true;
      switch (op & 7u) {
        case 0:
        case 1: {
          integers.assign(p, -1);
          const int unit = (op & 7u) == 0 ? records::kEma : records::kConsoleIn;
          more = free_form.read(unit, integers,
                                unit == records::kEma ? records::AtEnd::Report : records::AtEnd::Return);
          break;
        }
        case 2:
          title = ema.read_title();
          break;
        case 3: {
          const formats::Options options = ema.read_options();
          letters = {options.WEIGHT, options.PRXTYP, options.SEDTYP, options.CORTYP};
          break;
        }
        case 4: {
          integers.assign(1, 0);
          texts.assign(1, {});
          more = ema.read_year(integers[0], texts[0]);
          break;
        }
        case 5: {
          integers.assign(1, 0);
          texts.assign(1, {});
          reals.assign(p, 0.0);
          ema.read_matrix_row(integers[0], texts[0], reals);
          break;
        }
        default: {
          const Layout& layout = kOthers[p % kOthers.size()];
          // One to three passes' worth of targets, so that reversion is walked.
          std::vector<records::LayoutItem::Kind> kinds;
          detail::field_kinds(layout.items(), 0, kinds, 64);
          std::size_t count = std::min<std::size_t>(kinds.size() * (1 + p / 8 % 3), 64);
          while (kinds.size() < count) {
            const std::size_t from = layout.reversion_index() == Layout::npos ? 0 : layout.reversion_index();
            const std::size_t before = kinds.size();
            detail::field_kinds(layout.items(), from, kinds, count);
            if (kinds.size() == before) break;
          }
          count = kinds.size();
          integers.assign(count, 0);
          reals.assign(count, 0.0);
          shorts.assign(count, 0.0f);
          texts.assign(count, {});
          targets.clear();
          for (std::size_t k = 0; k < count; ++k) {
            switch (kinds[k]) {
              case records::LayoutItem::Kind::Int:
                targets.push_back(&integers[k]);
                break;
              case records::LayoutItem::Kind::Fixed:
              case records::LayoutItem::Kind::Exp:
                if (k % 2 == 0) {
                  targets.push_back(&reals[k]);
                } else {
                  targets.push_back(&shorts[k]);
                }
                break;
              default:
                targets.push_back(std::span<char>(texts[k]).first(1 + (k + p) % 8));
            }
          }
          const int unit = (op & 7u) == 6 ? records::kEma : records::kConsoleIn;
          more = fixed.read(unit, layout, targets,
                            unit == records::kEma ? records::AtEnd::Report : records::AtEnd::Return);
        }
      }
      if (!more) break;
    }
    channels.stop();
  } catch (const records::RunEnded& end) {
    constexpr int kReadReports[] = {24, 39, 59, 64};
    if (std::find(std::begin(kReadReports), std::end(kReadReports), end.exit_status()) ==
        std::end(kReadReports)) {
      broken = "a read ended the run with status " + std::to_string(end.exit_status());
    }
  }
  ::close(console_in);
  ::close(err);
  if (broken.empty()) {
    bool complete = false;
    const std::string reports = space.take("stderr");
    const auto lines = detail::crlf_lines(reports, complete);
    if (!complete || lines.size() > 1) broken = "the error stream holds more than one report";
  }
  return broken;
}

// The answers of a whole job: the five names typed one by one, absolute, and
// the strategy number.
inline std::string typed_answers(const Workspace& space, std::string_view strategy) {
  std::string answers = "N\n";
  for (const char* name : {"JOB.EMA", "JOB.NAQ", "JOB.SCL", "JOB.CLS", "JOB.PCL"}) {
    answers += space.file(name);
    answers += '\n';
  }
  answers += strategy;
  answers += '\n';
  return answers;
}

struct JobOutcome {
  int status = -1;
  std::string reports;       // the error stream
  std::string SCL, CLS, PCL;
};

// Runs one whole job in the workspace, in this process: `ema` as the .EMA
// file, an empty .NAQ, output files left from no earlier run, and `strategy`
// as the answer to the strategy question.
inline JobOutcome run_job_in(const Workspace& space, std::string_view ema, std::string_view strategy) {
  for (const char* name : {"JOB.SCL", "JOB.CLS", "JOB.PCL"}) ::unlink(space.file(name).c_str());
  space.put("JOB.EMA", ema);
  space.put("JOB.NAQ", "");
  space.put("answers", typed_answers(space, strategy));
  const int in = space.open_read("answers");
  const int err = space.open_write("stderr");
  JobOutcome outcome;
  {
    records::ChannelTable channels({in, space.null_fd(), err});
    outcome.status = control::run_job(channels);
  }
  ::close(in);
  ::close(err);
  outcome.reports = space.take("stderr");
  outcome.SCL = space.take("JOB.SCL");
  outcome.CLS = space.take("JOB.CLS");
  outcome.PCL = space.take("JOB.PCL");
  return outcome;
}

// The rules every finished job keeps, whatever its input: a known exit
// status; on the error stream only "output conversion" reports and, when the
// run was ended, one severe report with the matching number as its last
// line; output files that hold whole CR LF records; a .PCL that is
// written to only once the .SCL has reached a year's dendrogram; and the
// same fusion records in .SCL and .CLS.
inline std::string check_job(const JobOutcome& job) {
  if (!detail::known_status(job.status)) return "exit status " + std::to_string(job.status);
  bool complete = false;
  const auto lines = detail::crlf_lines(job.reports, complete);
  if (!complete) return "a report line without its CR LF";
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const bool last = k + 1 == lines.size();
    if (lines[k].starts_with("forrtl: error (63): " +
                             records::report::catalog_text(records::report::kOutputConversion) +
                             ", unit ")) {
      continue;
    }
    const std::string severe = "forrtl: severe (" + std::to_string(job.status) + "): ";
    if (last && job.status != 0 && lines[k].starts_with(severe)) continue;
    return "unexpected report line: " + std::string(lines[k]);
  }
  if (job.status != 0 && (lines.empty() || !lines.back().starts_with("forrtl: severe"))) {
    return "the run ended with status " + std::to_string(job.status) + " but no severe report";
  }
  const std::pair<const char*, const std::string*> files[] = {
      {".SCL", &job.SCL}, {".CLS", &job.CLS}, {".PCL", &job.PCL}};
  for (const auto& [name, bytes] : files) {
    if (!bytes->empty() && !bytes->ends_with("\r\n")) {
      return std::string(name) + " does not end with a whole record";
    }
  }
  if (!job.SCL.empty() &&
      !job.SCL.starts_with(" Maximum number of years in data set             (MAXY) = ")) {
    return ".SCL does not open with the run summary";
  }
  if (!job.PCL.empty() && job.SCL.find(" Calculate dendrogram\r\n") == std::string::npos) {
    return ".PCL written before any dendrogram was calculated";
  }
  if (detail::scl_fusions(job.SCL) != detail::cls_fusions(job.CLS)) {
    return ".SCL and .CLS hold different fusion records";
  }
  return {};
}

// The whole-job fuzz input: the first byte chooses the strategy answer
// (-1 to 10, so that numbers outside the menu are met too), the rest is the
// .EMA file. The job is run twice: both runs must keep the rules and agree
// byte for byte, since nothing may carry over from one run to the next.
inline std::string run_whole_job(std::span<const std::uint8_t> data, const Workspace& space) {
  if (data.empty()) return {};
  const std::string strategy = std::to_string(static_cast<int>(data[0] % 12) - 1);
  const std::string_view ema(reinterpret_cast<const char*>(data.data()) + 1, data.size() - 1);
  const JobOutcome first = run_job_in(space, ema, strategy);
  if (std::string broken = check_job(first); !broken.empty()) return broken;
  const JobOutcome second = run_job_in(space, ema, strategy);
  if (second.status != first.status || second.reports != first.reports ||
      second.SCL != first.SCL || second.CLS != first.CLS || second.PCL != first.PCL) {
    return "a second run of the same job gave different results";
  }
  return {};
}

// The clustering engine alone: the first byte gives the number of locations
// (2 to 64), the second the strategy (0 to 9, so that numbers outside the
// menu are met too), and each further byte one proximity of the packed
// matrix (missing ones are 0). Bytes below 128 give the small integers 0 to
// 7, so that ties are common; the others pick from values at the edges:
// the search ceiling and the reals beside it, infinities, NaN, the largest
// and the smallest magnitudes. Both pair searches must make the same
// fusions at the same levels, bit for bit, and end alike.
inline std::string cluster_both_ways(std::span<const std::uint8_t> data) {
  if (data.size() < 2) return {};
  const std::int32_t NL = 2 + data[0] % 63;
  const std::int32_t ISTRAT = data[1] % 10;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double kEdges[16] = {
      cluster::kCeiling,
      std::nextafter(cluster::kCeiling, kInf),
      std::nextafter(cluster::kCeiling, 0.0),
      kInf,
      -kInf,
      std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::max(),
      -std::numeric_limits<double>::max(),
      std::numeric_limits<double>::denorm_min(),
      -0.0,
      0.5,
      -1.0,
      1e10,
      1e19,
      1e-300,
      2.5,
  };
  std::vector<double> matrix(static_cast<std::size_t>(cluster::packed_size(NL)), 0.0);
  for (std::size_t k = 0; k < matrix.size() && k + 2 < data.size(); ++k) {
    const std::uint8_t b = data[k + 2];
    matrix[k] = b < 128 ? static_cast<double>(b % 8) : kEdges[b & 15];
  }

  struct Fusion {
    std::int32_t i, j, made;
    std::uint64_t level;  // the bits of D(ij), so that NaN compares too
    bool operator==(const Fusion&) const = default;
  };
  struct Record : cluster::FusionSink {
    std::vector<Fusion> fusions;
    void fusion(std::int32_t i, std::int32_t j, std::int32_t made, double dmin) override {
      fusions.push_back({i, j, made, std::bit_cast<std::uint64_t>(dmin)});
    }
  };
  struct Result {
    bool complete = false;
    Record record;
    std::vector<std::int32_t> HIST;
  };
  const auto agglomerate = [&](cluster::PairSearch search) {
    Result result;
    std::vector<double> PII = matrix;
    std::vector<std::int32_t> G(static_cast<std::size_t>(NL)), LABEL(static_cast<std::size_t>(NL));
    result.HIST.assign(2 * static_cast<std::size_t>(NL - 1), 0);
    result.complete =
        cluster::AGGLOM(PII, G, LABEL, result.HIST, NL, 0.0, ISTRAT, result.record, search);
    return result;
  };
  const Result fast = agglomerate(cluster::PairSearch::Fast);
  const Result plain = agglomerate(cluster::PairSearch::Plain);
  if (fast.complete != plain.complete) return "the searches end differently";
  const std::size_t common = std::min(fast.record.fusions.size(), plain.record.fusions.size());
  for (std::size_t s = 0; s < common; ++s) {
    if (!(fast.record.fusions[s] == plain.record.fusions[s])) {
      return "the searches part at fusion " + std::to_string(s + 1);
    }
  }
  if (fast.record.fusions.size() != plain.record.fusions.size()) {
    return "the searches make different numbers of fusions";
  }
  if (fast.HIST != plain.HIST) return "the searches leave different histories";
  if (fast.complete && fast.record.fusions.size() != static_cast<std::size_t>(NL - 1)) {
    return "a complete agglomeration without NL - 1 fusions";
  }
  return {};
}

}  // namespace metclust::fuzz
