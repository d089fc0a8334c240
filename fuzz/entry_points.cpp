#include "entry_points.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "cluster/agglom.hpp"
#include "formats/ema.hpp"
#include "metclust/run.hpp"
#include "records/channel_table.hpp"
#include "records/free_form_reader.hpp"
#include "records/layout.hpp"
#include "records/numeric_input.hpp"
#include "records/packed.hpp"
#include "records/record_reader.hpp"
#include "records/reports.hpp"
#include "support/records_of.hpp"

namespace metclust::fuzz {

namespace {

// Memory when the system offers it, so that a run touches no disk; the path
// stays short either way.
std::filesystem::path workspace_base() {
  std::error_code ec;
  return std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
}

}  // namespace

Workspace::Workspace() : folder_(workspace_base()), null_(::open("/dev/null", O_RDWR | O_CLOEXEC)) {
  if (null_ < 0) throw std::runtime_error("cannot open /dev/null");
}

Workspace::~Workspace() { ::close(null_); }

namespace {

// Exit statuses a run may end with: 0, the catalog reports a job can meet
// with its files in place, and the refusals of the run header and the years.
bool known_status(int status) {
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

// The kinds of field a layout takes values for, in order, over as many
// passes as `count` values need (a pass after the first starts at the
// layout's reversion point).
void field_kinds(const std::vector<records::LayoutItem>& items, std::size_t start,
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
std::vector<std::string_view> scl_fusions(std::string_view SCL) {
  std::vector<std::string_view> fusions;
  bool inside = false;
  for (std::string_view line : testing::records_of(SCL)) {
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
std::vector<std::string_view> cls_fusions(std::string_view CLS) {
  const std::vector<std::string_view> lines = testing::records_of(CLS);
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
std::string blank_makes_no_difference(std::span<const std::uint8_t> stream,
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

}  // namespace

std::string read_records(std::span<const std::uint8_t> data, const Workspace& space) {
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
  if (std::string broken = blank_makes_no_difference(stream, ops[0]); !broken.empty()) {
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
          field_kinds(layout.items(), 0, kinds, 64);
          std::size_t count = std::min<std::size_t>(kinds.size() * (1 + p / 8 % 3), 64);
          while (kinds.size() < count) {
            const std::size_t from = layout.reversion_index() == Layout::npos ? 0 : layout.reversion_index();
            const std::size_t before = kinds.size();
            field_kinds(layout.items(), from, kinds, count);
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
    const std::string reports = space.take("stderr");
    const bool complete = reports.empty() || reports.ends_with("\r\n");
    if (!complete || testing::records_of(reports).size() > 1) {
      broken = "the error stream holds more than one report";
    }
  }
  return broken;
}

namespace {

// The answers of a whole job: the five names typed one by one, absolute, and
// the strategy number.
std::string typed_answers(const Workspace& space, std::string_view strategy) {
  std::string answers = "N\n";
  for (const char* name : {"JOB.EMA", "JOB.NAQ", "JOB.SCL", "JOB.CLS", "JOB.PCL"}) {
    answers += space.file(name);
    answers += '\n';
  }
  answers += strategy;
  answers += '\n';
  return answers;
}

}  // namespace

JobOutcome run_job_in(const Workspace& space, std::string_view ema, std::string_view strategy) {
  for (const char* name : {"JOB.SCL", "JOB.CLS", "JOB.PCL"}) ::unlink(space.file(name).c_str());
  space.put("JOB.EMA", ema);
  space.put("JOB.NAQ", "");
  space.put("answers", typed_answers(space, strategy));
  const int in = space.open_read("answers");
  const int out = space.open_write("stdout");
  const int err = space.open_write("stderr");
  JobOutcome outcome;
  {
    records::ChannelTable channels({in, out, err});
    outcome.status = control::run_job(channels);
  }
  ::close(in);
  ::close(out);
  ::close(err);
  outcome.console = space.take("stdout");
  outcome.reports = space.take("stderr");
  outcome.SCL = space.take("JOB.SCL");
  outcome.CLS = space.take("JOB.CLS");
  outcome.PCL = space.take("JOB.PCL");
  return outcome;
}

std::string check_job(const JobOutcome& job) {
  if (!known_status(job.status)) return "exit status " + std::to_string(job.status);
  if (!job.reports.empty() && !job.reports.ends_with("\r\n")) {
    return "a report line without its CR LF";
  }
  const std::vector<std::string_view> lines = testing::records_of(job.reports);
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
  if (scl_fusions(job.SCL) != cls_fusions(job.CLS)) {
    return ".SCL and .CLS hold different fusion records";
  }
  return {};
}

std::string run_whole_job(std::span<const std::uint8_t> data, const Workspace& space) {
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

std::string cluster_both_ways(std::span<const std::uint8_t> data) {
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
  std::vector<double> matrix(static_cast<std::size_t>(records::packed_size(NL)), 0.0);
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
