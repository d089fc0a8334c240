// Times the agglomeration loop with the fast pair search on a matrix read
// from a file, for the side-by-side comparison with fastcluster
// (bench/versus_fastcluster.R). The file holds the packed matrix, pair after
// pair in the program's order (the upper triangle column after column), as
// 8-byte reals in the machine's byte order; the number of locations follows
// from its size.
//
//   agglom_timer [--repeats R] [--batch K] FILE STRATEGY...
//     For each of R repeats and each strategy in the order given, K calls
//     of AGGLOM, each on a fresh copy of the matrix, and one line
//     "strategy seconds digest": the mean time of one call over the K, and
//     a hash of the fusion history and levels, the same on every line of a
//     strategy. Only the calls are timed, not the copies. A batch lets a
//     small year be timed over many calls, as a clock of coarse resolution
//     on the other side of the comparison must be.
//   agglom_timer --levels FILE STRATEGY...
//     For each strategy one line "strategy level level ...": the fusion
//     levels in fusion order, each in its shortest exact form.
//
// Exit status 0 on success, 1 when the file is not a packed matrix or a
// year stops short of its last fusion, 2 on bad usage.
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cluster/agglom.hpp"
#include "records/packed.hpp"

namespace {

using metclust::cluster::AGGLOM;
using metclust::cluster::FusionSink;

constexpr const char* kUsage =
    "usage: agglom_timer [--repeats R] [--batch K] FILE STRATEGY...\n"
    "       agglom_timer --levels FILE STRATEGY...\n";

// A year no larger than this keeps n(n-1)/2 below 2^31, so that no count
// of pairs overflows 32 bits anywhere.
constexpr std::int64_t kMaxLocations = 46340;

// FNV-1a over the labels joined and the bits of each level.
struct Digest : FusionSink {
  std::uint64_t value = 14695981039346656037u;
  void fusion(std::int32_t a, std::int32_t b, std::int32_t, double dmin) override {
    for (const std::uint64_t word : {static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)),
                                     static_cast<std::uint64_t>(static_cast<std::uint32_t>(b)),
                                     std::bit_cast<std::uint64_t>(dmin)}) {
      value = (value ^ word) * 1099511628211u;
    }
  }
};

struct Levels : FusionSink {
  std::vector<double> values;
  void fusion(std::int32_t, std::int32_t, std::int32_t, double dmin) override {
    values.push_back(dmin);
  }
};

// The n whose packed matrix has `count` elements, or 0 when there is none.
std::int64_t locations_of(std::int64_t count) {
  const auto n = static_cast<std::int64_t>(
      std::llround((1.0 + std::sqrt(1.0 + 8.0 * static_cast<double>(count))) / 2.0));
  return metclust::records::packed_size(n) == count ? n : 0;
}

bool parse_int(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// Appends a space and the shortest text that reads back as `value`.
void append(std::string& line, double value) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  line += ' ';
  line.append(buffer, end);
}

std::string text_of(std::int32_t value) {
  char buffer[16];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

// Sixteen hexadecimal digits.
std::string hex_of(std::uint64_t value) {
  char buffer[16];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
  return std::string(16 - static_cast<std::size_t>(end - buffer), '0') + std::string(buffer, end);
}

// One year's work arrays, with the matrix read from the file kept apart so
// that every call starts from the same proximities.
struct Year {
  std::int32_t n = 0;
  std::vector<double> source, pii;
  std::vector<std::int32_t> g, label, hist;

  void restore() { pii = source; }
  bool agglom(std::int32_t istrat, FusionSink& sink) {
    return AGGLOM(pii, g, label, hist, n, 0.0, istrat, sink);
  }
};

// Reads the packed matrix of FILE; false, with a message, when the file
// cannot be read or its size is not that of a packed matrix.
bool read_year(const char* file, Year& year) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) {
    std::fprintf(stderr, "agglom_timer: %s: cannot be read\n", file);
    return false;
  }
  const std::streamoff bytes = in.tellg();
  const std::int64_t n = bytes > 0 && bytes % 8 == 0 ? locations_of(bytes / 8) : 0;
  if (n < 2 || n > kMaxLocations) {
    std::fprintf(stderr,
                 "agglom_timer: %s: %lld bytes are not the packed matrix of 2 to %lld locations\n",
                 file, static_cast<long long>(bytes), static_cast<long long>(kMaxLocations));
    return false;
  }
  const auto elements = static_cast<std::size_t>(bytes / 8);
  year.n = static_cast<std::int32_t>(n);
  year.source.resize(elements);
  year.pii.resize(elements);
  year.g.resize(static_cast<std::size_t>(n));
  year.label.resize(static_cast<std::size_t>(n));
  year.hist.resize(static_cast<std::size_t>(2 * (n - 1)));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(year.source.data()), bytes);
  if (in.gcount() != bytes) {
    std::fprintf(stderr, "agglom_timer: %s: cannot be read\n", file);
    return false;
  }
  return true;
}

int usage(const char* message) {
  std::fprintf(stderr, "agglom_timer: %s\n%s", message, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t repeats = 1;
  std::int64_t batch = 1;
  bool levels = false;
  int a = 1;
  for (; a < argc && argv[a][0] == '-'; ++a) {
    const std::string_view option = argv[a];
    if (option == "--levels") {
      levels = true;
    } else if (option == "--repeats" || option == "--batch") {
      if (a + 1 >= argc) return usage("an option lacks its number");
      std::int64_t& value = option == "--repeats" ? repeats : batch;
      if (!parse_int(argv[++a], 1, 1000000, value)) {
        return usage("--repeats and --batch take a whole number from 1 to 1000000");
      }
    } else {
      return usage("unknown option");
    }
  }
  if (argc - a < 2) return usage("a matrix file and at least one strategy are needed");
  const char* file = argv[a++];
  std::vector<std::int32_t> strategies;
  for (; a < argc; ++a) {
    std::int64_t istrat = 0;
    if (!parse_int(argv[a], 1, 8, istrat)) return usage("a strategy is a number from 1 to 8");
    strategies.push_back(static_cast<std::int32_t>(istrat));
  }

  Year year;
  if (!read_year(file, year)) return 1;

  if (levels) {
    for (const std::int32_t istrat : strategies) {
      Levels sink;
      year.restore();
      if (!year.agglom(istrat, sink)) {
        std::fprintf(stderr, "agglom_timer: strategy %d stopped before its last fusion\n", istrat);
        return 1;
      }
      std::string line = text_of(istrat);
      for (const double level : sink.values) append(line, level);
      std::puts(line.c_str());
    }
    return 0;
  }

  for (std::int64_t r = 0; r < repeats; ++r) {
    for (const std::int32_t istrat : strategies) {
      std::chrono::steady_clock::duration took{};
      std::uint64_t first = 0;
      for (std::int64_t call = 0; call < batch; ++call) {
        Digest digest;
        year.restore();
        const auto start = std::chrono::steady_clock::now();
        const bool complete = year.agglom(istrat, digest);
        took += std::chrono::steady_clock::now() - start;
        if (!complete) {
          std::fprintf(stderr, "agglom_timer: strategy %d stopped before its last fusion\n",
                       istrat);
          return 1;
        }
        if (call == 0) {
          first = digest.value;
        } else if (digest.value != first) {
          std::fprintf(stderr, "agglom_timer: strategy %d fused differently from one call to the next\n",
                       istrat);
          return 1;
        }
      }
      const double seconds =
          std::chrono::duration<double>(took).count() / static_cast<double>(batch);
      std::string line = text_of(istrat);
      append(line, seconds);
      line += ' ' + hex_of(first);
      std::puts(line.c_str());
    }
  }
  return 0;
}
