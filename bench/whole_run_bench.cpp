// Whole runs of a generated job (411 locations a year, 20 years unless the
// name says otherwise), side by side with what any program that does the
// same input and output must spend at least:
//
//   WholeRun           the run in this process through run_job: dialogue,
//                      .EMA reading, matrix echo, clustering, .SCL, .CLS,
//                      .PCL and console records (the measure of the run);
//   Floor              reads the same .EMA bytes, converts each input number
//                      once (from_chars), renders each output number once
//                      (to_chars) and writes as many records of as many bytes
//                      to each channel as the run does, one write() each. It
//                      clusters nothing: its fusion records (each rendered
//                      once, written to .SCL and .CLS) and plot records carry
//                      made-up labels and levels in the run's columns, and the
//                      run's few records before the first year are written as
//                      the reference run wrote them;
//   CopyEma            copies the .EMA file through a 64 KiB buffer;
//   WholeRunProcess    the built metclust as a process (posix_spawn);
//   CopyEmaProcess     cp of the .EMA file as a process;
//   PeakResident       the peak resident memory of the process for 5, 10 and
//                      20 years, which must not grow with the years.
//
// Each benchmark checks its work after the timing: a whole run must leave
// exactly the output bytes of the reference run made before the timing, and
// the floor must write the reference's record and byte counts on every
// channel and the same matrix echo bytes. A mismatch reports an error in
// place of a time. After the table the medians are set against each other;
// on a shared machine run it as
//   whole_run_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "job_generator.hpp"
#include "metclust/run.hpp"
#include "records/channel_table.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using metclust::bench::JobSize;

constexpr int kLocations = 411;
constexpr std::size_t kChunk = 1 << 16;

// Output channels in the order the counts below keep them.
enum Channel { kScl, kCls, kPcl, kConsole, kChannels };
constexpr std::array<const char*, 3> kOutputFiles = {"JOB.SCL", "JOB.CLS", "JOB.PCL"};

std::uint64_t fnv(std::uint64_t hash, std::string_view bytes) {
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return hash;
}
constexpr std::uint64_t kFnvStart = 14695981039346656037u;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The records of a byte stream, each without its CR LF.
std::vector<std::string_view> records_of(std::string_view bytes) {
  std::vector<std::string_view> records;
  std::size_t at = 0;
  for (std::size_t end; (end = bytes.find("\r\n", at)) != std::string_view::npos; at = end + 2) {
    records.push_back(bytes.substr(at, end - at));
  }
  if (at < bytes.size()) records.push_back(bytes.substr(at));
  return records;
}

int open_or_throw(const fs::path& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  return fd;
}

struct Counts {
  std::uint64_t records = 0;  // line ends
  std::uint64_t bytes = 0;
};

// A generated job in a scratch folder, with what its reference run wrote.
struct Job {
  fs::path folder;
  int years = 0;
  std::uint64_t ema_bytes = 0;
  std::array<Counts, kChannels> counts;
  std::array<std::uint64_t, 3> output_hash{};  // .SCL, .CLS, .PCL
  std::uint64_t echo_hash = kFnvStart;         // the matrix echo records of .SCL
  // The run's records before its first year group, which the floor hands
  // over as they are.
  std::array<std::vector<std::string>, kChannels> start_records;
};

// Runs the job in this process with the given console; the exit status.
int run_in_process(const Job& job, int console_out, int console_err) {
  const int answers = open_or_throw(job.folder / "answers", O_RDONLY);
  const fs::path here = fs::current_path();
  fs::current_path(job.folder);
  int status;
  {
    metclust::records::ChannelTable channels({answers, console_out, console_err});
    status = metclust::control::run_job(channels);
  }
  fs::current_path(here);
  ::close(answers);
  return status;
}

std::array<std::uint64_t, 3> output_hashes(const Job& job) {
  std::array<std::uint64_t, 3> hashes{};
  for (std::size_t k = 0; k < kOutputFiles.size(); ++k) {
    hashes[k] = fnv(kFnvStart, read_file(job.folder / kOutputFiles[k]));
  }
  return hashes;
}

// The scratch folder of the job of `years` years, removed at the end.
fs::path scratch_folder(int years) {
  using metclust::bench::text_of;
  return fs::temp_directory_path() / ("metclust-whole-run-" + text_of(::getpid()) + "-" + text_of(years));
}

Job make_job(int years) {
  Job job;
  job.years = years;
  job.folder = scratch_folder(years);
  fs::remove_all(job.folder);
  metclust::bench::write_job(job.folder, JobSize{years, kLocations, 3});
  job.ema_bytes = fs::file_size(job.folder / "JOB.EMA");

  const int console = open_or_throw(job.folder / "console", O_WRONLY | O_CREAT | O_TRUNC);
  const int errors = open_or_throw(job.folder / "errors", O_WRONLY | O_CREAT | O_TRUNC);
  const int status = run_in_process(job, console, errors);
  ::close(console);
  ::close(errors);
  if (status != 0 || fs::file_size(job.folder / "errors") != 0) {
    throw std::runtime_error("the reference run of the generated job failed");
  }
  job.output_hash = output_hashes(job);

  constexpr std::array<const char*, kChannels> files = {"JOB.SCL", "JOB.CLS", "JOB.PCL", "console"};
  for (std::size_t c = 0; c < kChannels; ++c) {
    const std::string bytes = read_file(job.folder / files[c]);
    std::size_t line_ends = 0;
    for (std::size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos; at += 2) {
      ++line_ends;
    }
    job.counts[c] = {line_ends, bytes.size()};
    const std::vector<std::string_view> records = records_of(bytes);
    // .CLS opens with four records; the others up to the empty record before
    // the first year line.
    std::size_t start = c == kCls ? 4 : 0;
    if (c != kCls && c != kPcl) {
      while (start + 1 < records.size() && !records[start + 1].starts_with("   For year ")) ++start;
    }
    for (std::size_t r = 0; r < start && c != kPcl; ++r) {
      job.start_records[c].emplace_back(records[r]);
    }
    if (c == kScl) {
      bool in_echo = false;
      for (const std::string_view record : records) {
        if (record == " Cluster locations") in_echo = false;
        if (in_echo) job.echo_hash = fnv(fnv(job.echo_hash, record), "\r\n");
        if (record.starts_with("   NL# Location")) in_echo = true;
      }
    }
  }
  return job;
}

const Job& job(int years) {
  static std::map<int, std::unique_ptr<Job>> jobs;
  std::unique_ptr<Job>& slot = jobs[years];
  if (!slot) slot = std::make_unique<Job>(make_job(years));
  return *slot;
}

void report_rates(benchmark::State& state, const Job& job) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * job.ema_bytes));
  std::uint64_t records = 0;
  for (const Counts& counts : job.counts) records += counts.records;
  state.counters["records"] = benchmark::Counter(
      static_cast<double>(records), benchmark::Counter::kIsIterationInvariantRate);
}

// ---------------------------------------------------------------------------
// The whole run.

void BM_WholeRun(benchmark::State& state) {
  const Job& j = job(static_cast<int>(state.range(0)));
  const int null = open_or_throw("/dev/null", O_WRONLY);
  const int errors = open_or_throw(j.folder / "errors", O_WRONLY | O_TRUNC);
  int status = 0;
  for (auto _ : state) status |= run_in_process(j, null, errors);
  ::close(null);
  ::close(errors);
  if (status != 0 || fs::file_size(j.folder / "errors") != 0) {
    state.SkipWithError("the run failed or reported");
  } else if (output_hashes(j) != j.output_hash) {
    state.SkipWithError("the run wrote other bytes than the reference run");
  }
  report_rates(state, j);
}

// ---------------------------------------------------------------------------
// The floor.

// Records of one channel, each handed to the system by one write().
class FloorChannel {
 public:
  explicit FloorChannel(int fd) : fd_(fd) {}
  ~FloorChannel() { ::close(fd_); }
  std::string& record() { return record_; }
  void put() {
    record_ += "\r\n";
    if (::write(fd_, record_.data(), record_.size()) != static_cast<ssize_t>(record_.size())) {
      throw std::runtime_error("floor write failed");
    }
    ++counts_.records;
    counts_.bytes += record_.size();
    record_.clear();
  }
  void put(std::string_view text) {
    record_ = text;
    put();
  }
  const Counts& counts() const { return counts_; }

 private:
  int fd_;
  std::string record_;
  Counts counts_;
};

// The records of the .EMA file, read 64 KiB at a time.
class FloorInput {
 public:
  explicit FloorInput(int fd) : fd_(fd) {}
  ~FloorInput() { ::close(fd_); }
  std::optional<std::string_view> next() {
    for (;;) {
      const std::size_t lf = buffer_.find('\n', start_);
      if (lf != std::string::npos) {
        std::string_view record(buffer_.data() + start_, lf - start_);
        start_ = lf + 1;
        if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
        return record;
      }
      if (at_end_) return std::nullopt;
      buffer_.erase(0, start_);
      start_ = 0;
      const std::size_t old = buffer_.size();
      buffer_.resize(old + kChunk);
      const ssize_t got = ::read(fd_, buffer_.data() + old, kChunk);
      if (got < 0) throw std::runtime_error("floor read failed");
      buffer_.resize(old + static_cast<std::size_t>(got));
      at_end_ = got == 0;
    }
  }
  std::string_view must_next() {
    const std::optional<std::string_view> record = next();
    if (!record) throw std::runtime_error("floor: .EMA ends early");
    return *record;
  }

 private:
  int fd_;
  std::string buffer_;
  std::size_t start_ = 0;
  bool at_end_ = false;
};

// The conversions, one per number.
std::int32_t int_of(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

template <class Real>
Real real_of(std::string_view field) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  Real value = 0;
  std::from_chars(field.data(), field.data() + field.size(), value);
  return value;
}

// Blank-separated integers of free-form records into `out`, as many records
// as they take.
void ints_of(FloorInput& in, std::span<std::int32_t> out) {
  std::size_t next = 0;
  while (next < out.size()) {
    const std::string_view record = in.must_next();
    const char* at = record.data();
    const char* end = at + record.size();
    while (next < out.size()) {
      while (at < end && *at == ' ') ++at;
      if (at == end) break;
      at = std::from_chars(at, end, out[next++]).ptr;
    }
  }
}

void put_int(std::string& out, std::int64_t value, std::size_t width) {
  std::array<char, 24> digits;
  const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  const std::size_t length = static_cast<std::size_t>(end - digits.data());
  out.append(width - length, ' ');
  out.append(digits.data(), length);
}

// E16.8 from one to_chars: "1.2345678e+01" becomes "0.12345678E+02".
void put_e16_8(std::string& out, double value) {
  if (value == 0) {
    out += "  0.00000000E+00";
    return;
  }
  std::array<char, 32> text;
  const char* end = std::to_chars(text.data(), text.data() + text.size(), std::fabs(value),
                                  std::chars_format::scientific, 7)
                        .ptr;
  int exponent = 0;
  for (const char* p = text.data() + 11; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  exponent = (text[10] == '-' ? -exponent : exponent) + 1;
  out += value < 0 ? " -0." : "  0.";
  out += text[0];
  out.append(text.data() + 2, 7);
  out += exponent < 0 ? "E-" : "E+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  out += static_cast<char>('0' + magnitude / 10);
  out += static_cast<char>('0' + magnitude % 10);
}

void put_f7_3(std::string& out, float value) {
  std::array<char, 48> text;
  const char* end =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 3).ptr;
  const std::size_t length = static_cast<std::size_t>(end - text.data());
  out.append(7 - length, ' ');
  out.append(text.data(), length);
}

void put_a3_a8(std::string& out, std::int32_t number, std::string_view name) {
  out += ' ';
  if (number > 0) {
    put_int(out, number, 3);
  } else {
    out += "   ";
  }
  out += ' ';
  out += name;
}

// What the floor leaves for its check.
struct FloorResult {
  std::array<Counts, kChannels> counts;
  std::uint64_t echo_hash = kFnvStart;
};

FloorResult floor_run(const Job& job, std::vector<double>& pii, std::vector<std::string>& names) {
  FloorInput in(open_or_throw(job.folder / "JOB.EMA", O_RDONLY));
  std::array<std::unique_ptr<FloorChannel>, kChannels> out;
  for (std::size_t c = 0; c < kOutputFiles.size(); ++c) {
    out[c] = std::make_unique<FloorChannel>(
        open_or_throw(job.folder / ("FLOOR" + std::string(kOutputFiles[c]).substr(3)),
                      O_WRONLY | O_CREAT | O_TRUNC));
  }
  out[kConsole] = std::make_unique<FloorChannel>(open_or_throw("/dev/null", O_WRONLY));
  FloorChannel& scl = *out[kScl];
  FloorChannel& cls = *out[kCls];
  FloorChannel& pcl = *out[kPcl];
  FloorChannel& console = *out[kConsole];
  FloorResult result;

  std::array<std::int32_t, 5> header{};
  ints_of(in, header);
  const std::int32_t MAXL = header[1];
  std::string title(in.must_next().substr(0, 50));
  title.resize(50, ' ');
  in.must_next();  // the option letters are only echoed
  for (std::size_t c = 0; c < kChannels; ++c) {
    for (const std::string& record : job.start_records[c]) out[c]->put(record);
  }

  auto message = [&](std::string_view text) {
    scl.put(text);
    console.put(text);
  };
  std::vector<std::int32_t> elim(static_cast<std::size_t>(MAXL));
  while (const std::optional<std::string_view> year = in.next()) {
    const std::int32_t IYEAR = int_of(year->substr(0, 6));
    std::string label(year->substr(10, 8));
    label.resize(8, ' ');
    put_int(cls.record(), IYEAR, 6);
    cls.record() += "    " + label;
    cls.put();
    message("");
    message("   For year " + label);
    message(" Read number of locations retained in year");
    std::int32_t NL = 0;
    ints_of(in, std::span<std::int32_t>(&NL, 1));
    put_int(cls.record(), NL, 4);
    cls.put();
    message(" Read elimination vector");
    ints_of(in, elim);
    for (std::size_t k = 0; k < elim.size(); ++k) {
      put_int(cls.record(), elim[k], 4);
      if (k % 30 == 29 || k + 1 == elim.size()) cls.put();
    }
    message(" Read cummulative proximity matrix");

    // Row i: its number and name, then i values ten to a record; the pairs
    // (1, i) .. (i-1, i) stand side by side from packed position
    // (i-1)(i-2)/2, the last value is the diagonal.
    for (std::int64_t i = 1; i <= NL; ++i) {
      std::string_view record = in.must_next();
      (void)int_of(record.substr(0, 6));
      names[static_cast<std::size_t>(i - 1)].assign(record.substr(7, 8));
      names[static_cast<std::size_t>(i - 1)].resize(8, ' ');
      const std::size_t first = static_cast<std::size_t>((i - 1) * (i - 2) / 2);
      for (std::int64_t k = 0; k < i; ++k) {
        if (k > 0 && k % 10 == 0) record = in.must_next();
        const std::size_t column = 16 + static_cast<std::size_t>(k % 10) * 16;
        const std::string_view field = record.substr(std::min(column, record.size()), 16);
        if (k < i - 1) {
          pii[first + static_cast<std::size_t>(k)] = real_of<double>(field);
        } else {
          benchmark::DoNotOptimize(real_of<float>(field));
        }
      }
    }

    scl.put("   NL# Location     PII((I2=I1+1,NL),I1=2,NL-1)");
    auto echo = [&] {
      result.echo_hash = fnv(result.echo_hash, scl.record());
      result.echo_hash = fnv(result.echo_hash, "\r\n");
      scl.put();
    };
    for (std::int64_t i = 1; i <= NL; ++i) {
      std::string& record = scl.record();
      put_int(record, i, 6);
      record += ' ';
      record += names[static_cast<std::size_t>(i - 1)];
      if (i < NL) record += ' ';
      for (std::int64_t j = i + 1; j <= NL; ++j) {
        if (j > i + 1 && (j - i - 1) % 10 == 0) {
          echo();
          record.append(16, ' ');
        }
        put_e16_8(record, pii[static_cast<std::size_t>((j - 1) * (j - 2) / 2 + i - 1)]);
      }
      echo();
    }

    message(" Cluster locations");
    scl.put("    Gpi + Gpj = Gpij     D(ij)");
    // As many fusion records as the run writes, each rendered once and
    // handed to .SCL and .CLS.
    for (std::int32_t s = 1; s < NL; ++s) {
      std::string& record = scl.record();
      record += "   ";
      put_int(record, s, 4);
      record += " +";
      put_int(record, s + 1, 4);
      record += " =";
      put_int(record, NL + s, 4);
      record += ' ';
      put_e16_8(record, pii[static_cast<std::size_t>(s - 1)]);
      cls.record() = record;
      scl.put();
      cls.put();
    }
    message(" Calculate dendrogram");

    // The plot group: its header, then for each fusion five points and a
    // listing entry, laid out as the dendrogram writes them.
    put_int(pcl.record(), IYEAR, 5);
    put_int(pcl.record(), NL, 5);
    pcl.record() += ' ' + title;
    pcl.put();
    const std::int64_t used = 2 * static_cast<std::int64_t>(NL) - 1;
    std::int64_t c = 0;
    for (std::int32_t s = 1; s < NL; ++s) {
      for (int p = 0; p < 5; ++p) {
        ++c;
        std::string& record = pcl.record();
        put_f7_3(record, static_cast<float>(s) + 0.5f * static_cast<float>(p));
        put_f7_3(record, static_cast<float>(p + 1));
        put_a3_a8(record, p % 2 == 0 ? NL + s : 0,
                  p % 2 == 0 ? names[static_cast<std::size_t>(s - 1)] : "        ");
        if (c <= used) {
          put_a3_a8(record, static_cast<std::int32_t>(c),
                    names[static_cast<std::size_t>(c - 1) % names.size()]);
        }
        pcl.put();
      }
      ++c;
      if (c <= used) {
        pcl.record().append(27, ' ');
        put_a3_a8(pcl.record(), static_cast<std::int32_t>(c),
                  names[static_cast<std::size_t>(c - 1) % names.size()]);
      }
      pcl.put();
    }
  }
  for (std::size_t c = 0; c < kChannels; ++c) result.counts[c] = out[c]->counts();
  return result;
}

void BM_Floor(benchmark::State& state) {
  const Job& j = job(static_cast<int>(state.range(0)));
  std::vector<double> pii(static_cast<std::size_t>(kLocations) * (kLocations - 1) / 2);
  std::vector<std::string> names(kLocations);
  FloorResult result;
  for (auto _ : state) result = floor_run(j, pii, names);
  for (std::size_t c = 0; c < kChannels; ++c) {
    if (result.counts[c].records != j.counts[c].records ||
        result.counts[c].bytes != j.counts[c].bytes) {
      std::fprintf(stderr, "channel %zu: floor %llu records of %llu bytes, run %llu of %llu\n", c,
                   static_cast<unsigned long long>(result.counts[c].records),
                   static_cast<unsigned long long>(result.counts[c].bytes),
                   static_cast<unsigned long long>(j.counts[c].records),
                   static_cast<unsigned long long>(j.counts[c].bytes));
      state.SkipWithError("the floor wrote other record or byte counts than the run");
    }
  }
  if (result.echo_hash != j.echo_hash) {
    state.SkipWithError("the floor's matrix echo differs from the run's");
  }
  report_rates(state, j);
}

// ---------------------------------------------------------------------------
// Copies of the .EMA file.

void BM_CopyEma(benchmark::State& state) {
  const Job& j = job(static_cast<int>(state.range(0)));
  std::vector<char> buffer(kChunk);
  std::uint64_t copied = 0;
  for (auto _ : state) {
    const int from = open_or_throw(j.folder / "JOB.EMA", O_RDONLY);
    const int to = open_or_throw(j.folder / "COPY.EMA", O_WRONLY | O_CREAT | O_TRUNC);
    copied = 0;
    for (ssize_t got; (got = ::read(from, buffer.data(), buffer.size())) > 0;) {
      if (::write(to, buffer.data(), static_cast<std::size_t>(got)) != got) break;
      copied += static_cast<std::uint64_t>(got);
    }
    ::close(from);
    ::close(to);
  }
  if (copied != j.ema_bytes) state.SkipWithError("the copy is incomplete");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * j.ema_bytes));
}

// ---------------------------------------------------------------------------
// Processes.

fs::path metclust_binary() {
  // The bench programs are built in <build>/bench, the program in <build>.
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "metclust";
}

// Runs `argv` in `folder`, standard input from `input`, standard output to
// /dev/null and standard error to `errors`; the exit status, -1 when the
// process could not start or did not exit.
int spawn(const std::vector<std::string>& argv, const fs::path& folder,
                 const fs::path& input, const fs::path& errors) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_APPEND, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int result = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  return result;
}

void BM_WholeRunProcess(benchmark::State& state) {
  const Job& j = job(static_cast<int>(state.range(0)));
  const std::vector<std::string> argv = {metclust_binary().string()};
  const fs::path errors = j.folder / "errors";
  ::close(open_or_throw(errors, O_WRONLY | O_CREAT | O_TRUNC));
  int status = 0;
  for (auto _ : state) {
    status = spawn(argv, j.folder, j.folder / "answers", errors);
    if (status != 0) break;
  }
  if (status != 0 || fs::file_size(errors) != 0) {
    state.SkipWithError("the process failed or reported");
  } else if (output_hashes(j) != j.output_hash) {
    state.SkipWithError("the process wrote other bytes than the reference run");
  }
  report_rates(state, j);
}

// Peak resident memory of the process, as /usr/bin/time measures it: a
// child spawned straight from this process would be charged with the
// benchmark's own pages, which it shares until it starts the program.
void BM_PeakResident(benchmark::State& state) {
  const Job& j = job(static_cast<int>(state.range(0)));
  const fs::path measure = j.folder / "maxresident";
  const std::vector<std::string> argv = {"/usr/bin/time", "-f", "%M", "-o", measure.string(),
                                         metclust_binary().string()};
  const fs::path errors = j.folder / "errors";
  ::close(open_or_throw(errors, O_WRONLY | O_CREAT | O_TRUNC));
  int status = 0;
  long peak = 0;
  for (auto _ : state) {
    status = spawn(argv, j.folder, j.folder / "answers", errors);
    if (status != 0) break;
    const std::string kib = read_file(measure);
    long value = 0;
    std::from_chars(kib.data(), kib.data() + kib.size(), value);
    peak = std::max(peak, value);
  }
  if (status != 0 || fs::file_size(errors) != 0 || output_hashes(j) != j.output_hash) {
    state.SkipWithError("the measured process failed, reported or wrote other bytes");
  }
  state.counters["maxresident_KiB"] = static_cast<double>(peak);
}

void BM_CopyEmaProcess(benchmark::State& state) {
  const Job& j = job(static_cast<int>(state.range(0)));
  const std::vector<std::string> argv = {"/bin/cp", "JOB.EMA", "COPY.EMA"};
  const fs::path errors = j.folder / "errors";
  ::close(open_or_throw(errors, O_WRONLY | O_CREAT | O_TRUNC));
  int status = 0;
  for (auto _ : state) {
    status = spawn(argv, j.folder, "/dev/null", errors);
    if (status != 0) break;
  }
  if (status != 0 || fs::file_size(j.folder / "COPY.EMA") != j.ema_bytes) {
    state.SkipWithError("the copy failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * j.ema_bytes));
}

constexpr std::int64_t kYears = 20;

BENCHMARK(BM_WholeRun)->Arg(kYears)->ArgName("years")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Floor)->Arg(kYears)->ArgName("years")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyEma)->Arg(kYears)->ArgName("years")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeRunProcess)
    ->Arg(kYears)
    ->ArgName("years")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_CopyEmaProcess)
    ->Arg(kYears)
    ->ArgName("years")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PeakResident)
    ->ArgName("years")
    ->Arg(5)
    ->Arg(10)
    ->Arg(kYears)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Keeps the real and CPU time of each benchmark, the medians when
// repetitions give them, to set them against each other after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  struct Times {
    double real = 0;
    double cpu = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const std::string name = run.run_name.str();
      const Times times{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[name] = times;
      } else if (run.run_type == Run::RT_Iteration) {
        singles_[name] = times;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  std::optional<Times> times(const std::string& name) const {
    if (const auto m = medians_.find(name); m != medians_.end()) return m->second;
    if (const auto s = singles_.find(name); s != singles_.end()) return s->second;
    return std::nullopt;
  }

 private:
  std::map<std::string, Times> medians_;
  std::map<std::string, Times> singles_;
};

// One line per ratio: of the real times and, for two benchmarks that do
// all their work in this process, of the CPU times, which other load on the
// machine disturbs less.
void print_ratio(const RatioReporter& reporter, const std::string& what, const std::string& run,
                 const std::string& base, bool in_process, double limit) {
  const std::optional<RatioReporter::Times> a = reporter.times(run);
  const std::optional<RatioReporter::Times> b = reporter.times(base);
  if (!a || !b) return;
  std::printf("%-36s real %8.1f ms / %8.1f ms = %5.2f", what.c_str(), a->real, b->real,
              a->real / b->real);
  if (in_process) {
    std::printf("   cpu %8.1f ms / %8.1f ms = %5.2f", a->cpu, b->cpu, a->cpu / b->cpu);
  }
  if (limit > 0) {
    std::printf("   (limit %.2f: %s)", limit, a->real / b->real <= limit ? "within" : "OVER");
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Colours only on a terminal, so that a saved table stays plain text.
  RatioReporter reporter(::isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::string years = "/years:" + metclust::bench::text_of(kYears) + "/real_time";
  std::printf("\nRatios of the medians (%lld years of %d locations):\n",
              static_cast<long long>(kYears), kLocations);
  print_ratio(reporter, "whole run / floor", "BM_WholeRun" + years, "BM_Floor" + years, true,
              1.5);
  print_ratio(reporter, "whole run / copy of the .EMA", "BM_WholeRun" + years,
              "BM_CopyEma" + years, true, 0);
  print_ratio(reporter, "whole run process / cp of the .EMA", "BM_WholeRunProcess" + years,
              "BM_CopyEmaProcess" + years, false, 0);
  benchmark::Shutdown();
  for (const int years_made : {5, 10, static_cast<int>(kYears)}) {
    std::error_code ec;
    fs::remove_all(scratch_folder(years_made), ec);
  }
  return 0;
}
