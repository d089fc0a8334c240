// Jobs for the tests of metclust's outputs and of the programs that read
// them: the three-location year of the dendrogram and cluster records written
// out by hand, years of locations written as an .EMA file and run through the
// real metclust program, and readers of the records such a run leaves.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/programs.hpp"
#include "support/records_of.hpp"
#include "support/scratch_folder.hpp"

namespace metclust::testing {


inline std::string padded(std::string_view text, std::size_t width) {
  std::string out(text);
  out.resize(width, ' ');
  return out;
}

inline std::string joined_records(const std::vector<std::string>& records,
                                  std::string_view end = "\r\n") {
  std::string out;
  for (const std::string& record : records) {
    out += record;
    out += end;
  }
  return out;
}

// Three locations A, B, C joined as (1, 2) into 4 and (4, 3) into 5: the
// dendrogram order is B, A, C. One record per element.
inline std::vector<std::string> three_site_plot_records() {
  return {
      " 1992    3 " + padded("THREE SITES", 50),
      "  2.000  1.000   1 A          2 B       ",
      "  2.000  2.000                1 A       ",
      "  1.500  2.000   4 LGp__4     3 C       ",
      "  1.000  2.000                4 LGp__4  ",
      "  1.000  1.000   2 B          5 LGp__5  ",
      "",
      "  1.500  2.000   4 LGp__4  ",
      "  1.500  3.000             ",
      "  2.250  3.000   5 LGp__5  ",
      "  3.000  3.000             ",
      "  3.000  1.000   3 C       ",
      "",
  };
}

// The .CLS records of the same job, with MAXL 31 so that the elimination
// vector takes two records, and the fusion levels 1.0 and 2.0.
inline std::vector<std::string> three_site_cluster_records() {
  std::string elim;
  for (int k = 0; k < 30; ++k) elim += "   1";
  return {
      "     1    31     6    92    92     1   496",
      padded("THREE SITES", 50),
      "     W     S     C     N     1",
      "  92  92",
      "  1992    YR1992  ",
      "   3",
      elim,
      "   0",
      "      1 +   2 =   4   0.10000000E+01",
      "      4 +   3 =   5   0.20000000E+01",
  };
}

inline std::string fixed(double value, int precision) {
  char digits[64];
  const auto end =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision).ptr;
  return std::string(digits, end);
}

inline std::string decimal(std::size_t value) {
  char digits[24];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

inline std::string right(std::string_view text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + std::string(text);
}

// One year group of a job: the names of its locations and the proximity of
// locations i < j (0-based).
struct YearInput {
  int year = 0;
  std::vector<std::string> names;
  std::function<double(std::size_t, std::size_t)> proximity;
};

// Writes JOB.EMA and JOB.NAQ for the years in `folder`, each proximity with
// `decimals` decimals, and runs metclust on them with `strategy`; returns
// its outcome.
inline RunOutcome run_job(const std::filesystem::path& folder, const std::string& title,
                       const std::vector<YearInput>& years, int strategy, int decimals = 6) {
  std::size_t maxl = 1;
  for (const YearInput& year : years) maxl = std::max(maxl, year.names.size());
  std::string ema =
      "1 " + decimal(maxl) + " 6 92 92\n" + title + "\n" + "     W     S     C     N\n";
  for (const YearInput& year : years) {
    const std::size_t nl = year.names.size();
    ema += right(decimal(static_cast<std::size_t>(year.year)), 6) + "    YR" +
           decimal(static_cast<std::size_t>(year.year)) + "\n";
    ema += decimal(nl) + "\n";
    for (std::size_t k = 0; k < maxl; ++k) ema += k + 1 < maxl ? "1 " : "1\n";
    for (std::size_t i = 0; i < nl; ++i) {
      std::string row = right(decimal(i + 1), 6) + " " + padded(year.names[i], 8) + " ";
      for (std::size_t j = 0; j <= i; ++j) {
        if (j > 0 && j % 10 == 0) row += "\n" + std::string(16, ' ');
        row += right(fixed(j == i ? 0.0 : year.proximity(j, i), decimals), 16);
      }
      ema += row + "\n";
    }
  }
  write_bytes(folder / "JOB.EMA", ema);
  write_bytes(folder / "JOB.NAQ", "not used\n");
  return run_metclust_job(folder, "JOB", strategy);
}

inline double number(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Locations scattered over a plane, named LOC001, LOC002, ...; the proximity
// is their distance. Different seeds give different scatters.
inline YearInput scattered(int year, std::size_t count, std::uint32_t seed) {
  std::vector<std::pair<double, double>> at;
  std::uint32_t state = seed;
  const auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
  };
  YearInput input;
  input.year = year;
  for (std::size_t k = 0; k < count; ++k) {
    at.emplace_back(next() * 10, next() * 10);
    input.names.push_back("LOC" + right(decimal(k + 1), 3));
    std::replace(input.names.back().begin(), input.names.back().end(), ' ', '0');
  }
  input.proximity = [at](std::size_t i, std::size_t j) {
    return std::hypot(at[i].first - at[j].first, at[i].second - at[j].second);
  };
  return input;
}

// The lines of a file or a stream: each ends in LF, a CR before it dropped.
inline std::vector<std::string> lines(const std::string& bytes) {
  std::vector<std::string> out;
  for (std::string_view record : metclust::testing::records_of(bytes, "\n")) {
    if (record.ends_with('\r')) record.remove_suffix(1);
    out.emplace_back(record);
  }
  return out;
}

inline std::string trimmed(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

// The location names of each year in dendrogram order, cut straight from the
// node listing columns 33-40 of the .PCL records that follow each header.
inline std::vector<std::vector<std::string>> listed_names(const std::string& pcl) {
  const std::vector<std::string> records = lines(pcl);
  std::vector<std::vector<std::string>> years;
  std::size_t header = 0;
  while (header < records.size()) {
    const int nl = static_cast<int>(number(trimmed(records[header].substr(5, 5))));
    std::vector<std::string> names;
    for (int k = 1; k <= nl; ++k) names.push_back(trimmed(records[header + k].substr(32, 8)));
    years.push_back(names);
    header += 1 + 6 * static_cast<std::size_t>(std::max(0, nl - 1));
  }
  return years;
}

// The fusion levels of each year, cut from columns 21-36 of the .CLS fusion
// records (the records with "+" in column 9).
inline std::vector<std::vector<double>> listed_levels(const std::string& cls) {
  std::vector<std::vector<double>> years;
  bool in_fusions = false;
  for (const std::string& record : lines(cls)) {
    const bool fusion = record.size() >= 36 && record[8] == '+';
    if (fusion && !in_fusions) years.emplace_back();
    if (fusion) years.back().push_back(number(trimmed(record.substr(20, 16))));
    in_fusions = fusion;
  }
  return years;
}

// The fusion records of each year, cut from the .CLS records with "+" in
// column 9: first group, second group, new group, level.
struct ListedFusion {
  int first = 0;
  int second = 0;
  int node = 0;
  double level = 0;
};
inline std::vector<std::vector<ListedFusion>> listed_fusions(const std::string& cls) {
  std::vector<std::vector<ListedFusion>> years;
  bool in_fusions = false;
  for (const std::string& record : lines(cls)) {
    const bool fusion = record.size() >= 36 && record[8] == '+';
    if (fusion && !in_fusions) years.emplace_back();
    if (fusion) {
      years.back().push_back({static_cast<int>(number(trimmed(record.substr(3, 4)))),
                              static_cast<int>(number(trimmed(record.substr(9, 4)))),
                              static_cast<int>(number(trimmed(record.substr(15, 4)))),
                              number(trimmed(record.substr(20, 16)))});
    }
    in_fusions = fusion;
  }
  return years;
}

}  // namespace metclust::testing
