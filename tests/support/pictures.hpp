// Reading back the parts of a picture that metclust-plot draws which the
// tests look at: the location names, the brackets of the fusions; and
// xmllint, when the machine has it, for whether a picture is well-formed.
#pragma once

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/job_files.hpp"

namespace metclust::testing {

// What a test reads back from a picture.
struct Leaf {
  double x = 0;
  double y = 0;
  std::string name;
};
using Bracket = std::vector<std::pair<double, double>>;


inline std::vector<Leaf> leaves(const std::string& svg) {
  static const std::regex kLeaf(
      R"re(<g class="leaf"><title>[^<]*</title><text x="([^"]*)" y="([^"]*)"[^>]*>([^<]*)</text>)re");
  std::vector<Leaf> out;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kLeaf); it != std::sregex_iterator();
       ++it) {
    out.push_back({number((*it)[1]), number((*it)[2]), (*it)[3]});
  }
  return out;
}

inline std::vector<Bracket> brackets(const std::string& svg) {
  static const std::regex kBracket(R"re(<polyline class="bracket[^"]*" points="([^"]*)")re");
  static const std::regex kPoint(R"re(([-0-9.]+),([-0-9.]+))re");
  std::vector<Bracket> out;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kBracket);
       it != std::sregex_iterator(); ++it) {
    const std::string points = (*it)[1];
    Bracket bracket;
    for (auto p = std::sregex_iterator(points.begin(), points.end(), kPoint);
         p != std::sregex_iterator(); ++p) {
      bracket.emplace_back(number((*p)[1]), number((*p)[2]));
    }
    out.push_back(bracket);
  }
  return out;
}

inline std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

inline bool xmllint_available() { return std::system("command -v xmllint >/dev/null 2>&1") == 0; }

// True when xmllint finds the file well-formed.
inline bool well_formed(const std::filesystem::path& file) {
  const std::string command = "xmllint --noout '" + file.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

}  // namespace metclust::testing
