// Writes a whole job for the benchmarks: JOB.EMA with a run header, a title,
// an option record and `years` year groups of `locations` locations each
// (or, with `fewest` set, of `fewest` to `locations` locations, a different
// share of the same sites each year, as a long trial series holds them),
// JOB.NAQ, and the console answers that run it. The proximities are
// distances between trial locations in a four-dimensional environment space
// that drifts a little from year to year, written with 8 significant digits
// in E16.8 fields, ten to a record, rows of more than ten values continuing
// on further records. A fixed seed makes every job of the same size the
// same bytes.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace metclust::bench {

struct JobSize {
  int years = 20;
  int locations = 411;  // MAXL and every year's NL
  int strategy = 3;     // the answer to the strategy question
  // When above 0 and below `locations`: each year holds between `fewest`
  // and `locations` of the `locations` sites, drawn with a seed of their own.
  int fewest = 0;
};

inline std::string text_of(long long value) {
  std::array<char, 24> digits;
  return {digits.data(), std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr};
}

// E16.8 as the files carry it: "  0.12345678E+02", right-justified.
inline void append_e16_8(std::string& out, double value) {
  std::string field;
  if (value == 0.0) {
    field = "0.00000000E+00";
  } else {
    std::array<char, 32> digits;
    const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(),
                                         std::fabs(value), std::chars_format::scientific, 7);
    if (ec != std::errc()) throw std::runtime_error("E16.8 of a proximity");
    const std::string text(digits.data(), end);  // d.ddddddde+xx
    const std::size_t e = text.find('e');
    const std::size_t power = e + (text[e + 1] == '+' ? 2 : 1);
    int exponent = 0;
    std::from_chars(text.data() + power, text.data() + text.size(), exponent);
    exponent += 1;
    field = "0." + text.substr(0, 1) + text.substr(2, e - 2) + (exponent < 0 ? "E-" : "E+");
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) field += '0';
    field += text_of(magnitude);
    if (value < 0) field.insert(0, "-");
  }
  out.append(16 - field.size(), ' ');
  out += field;
}

// Location names of 8 characters: "LOC0001 ", ...
inline std::string location_name(int k) {
  std::string name = "LOC" + text_of(10000 + k).substr(1);
  name.resize(8, ' ');
  return name;
}

// Writes JOB.EMA, JOB.NAQ and answers into `folder` (made when missing).
inline void write_job(const std::filesystem::path& folder, const JobSize& size) {
  std::filesystem::create_directories(folder);
  const int n = size.locations;
  const int first_year = 71;  // two-digit years fit the I3 fields of the sequence line
  std::mt19937_64 random(19710411);
  std::normal_distribution<double> spread(0.0, 1.0);

  std::vector<std::array<double, 4>> home(static_cast<std::size_t>(n));
  for (auto& place : home) {
    for (double& c : place) c = 5.0 * spread(random);
  }

  std::string ema;
  ema += text_of(size.years) + " " + text_of(n) + " 120 " + text_of(first_year) + " " +
         text_of(first_year + size.years - 1) + "\r\n";
  ema += "Generated trial series for whole-run timing\r\n";
  ema += "     U     S     C     N\r\n";

  std::vector<std::array<double, 4>> place(static_cast<std::size_t>(n));
  std::mt19937_64 sites_random(20260411);
  const bool varying = size.fewest > 0 && size.fewest < n;
  std::vector<int> sites;  // 1-based sites of the year, ascending
  std::string line;
  for (int y = 0; y < size.years; ++y) {
    const int year = first_year + y;
    sites.clear();
    if (varying) {
      const int count = std::uniform_int_distribution<int>(size.fewest, n)(sites_random);
      std::vector<int> all(static_cast<std::size_t>(n));
      for (int k = 0; k < n; ++k) all[static_cast<std::size_t>(k)] = k + 1;
      std::shuffle(all.begin(), all.end(), sites_random);
      sites.assign(all.begin(), all.begin() + count);
      std::sort(sites.begin(), sites.end());
    } else {
      for (int k = 1; k <= n; ++k) sites.push_back(k);
    }
    const int nl = static_cast<int>(sites.size());
    line = text_of(year);
    ema.append(6 - line.size(), ' ');
    ema += line + "    Y19" + text_of(year) + "   \r\n";
    ema += text_of(nl) + "\r\n";
    // The elimination vector: MAXL values, 1 for each site of the year.
    std::vector<char> held(static_cast<std::size_t>(n), '0');
    for (const int site : sites) held[static_cast<std::size_t>(site - 1)] = '1';
    for (int k = 0; k < n; ++k) {
      ema += k % 30 == 0 ? "" : " ";
      ema += held[static_cast<std::size_t>(k)];
      if (k % 30 == 29 || k == n - 1) ema += "\r\n";
    }
    for (int k = 0; k < n; ++k) {
      for (int c = 0; c < 4; ++c) {
        place[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] =
            home[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] + 0.3 * spread(random);
      }
    }
    for (int i = 1; i <= nl; ++i) {
      line = text_of(i);
      ema.append(6 - line.size(), ' ');
      ema += line + " " + location_name(sites[static_cast<std::size_t>(i - 1)]) + " ";
      for (int j = 1; j <= i; ++j) {
        if (j > 1 && (j - 1) % 10 == 0) ema += "\r\n" + std::string(16, ' ');
        double d = 0.0;
        if (j < i) {
          double sum = 0.0;
          for (int c = 0; c < 4; ++c) {
            const auto si = static_cast<std::size_t>(sites[static_cast<std::size_t>(i - 1)] - 1);
            const auto sj = static_cast<std::size_t>(sites[static_cast<std::size_t>(j - 1)] - 1);
            const double diff = place[si][static_cast<std::size_t>(c)] - place[sj][static_cast<std::size_t>(c)];
            sum += diff * diff;
          }
          d = std::sqrt(sum);
        }
        append_e16_8(ema, d);
      }
      ema += "\r\n";
    }
  }

  std::ofstream(folder / "JOB.EMA", std::ios::binary) << ema;
  std::ofstream(folder / "JOB.NAQ", std::ios::binary) << "\r\n";
  std::ofstream(folder / "answers", std::ios::binary)
      << "Y\nJOB\n" + text_of(size.strategy) + "\n";
}

}  // namespace metclust::bench
