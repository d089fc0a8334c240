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


// The location names: the texts of the picture's leaves that carry a hover
// text (a full name at the end of a row has none).
inline std::vector<Leaf> leaves(const std::string& svg) {
  static const std::regex kLeaf(
      R"re(<text x="([^"]*)" y="([^"]*)"><title>[^<]*</title>([^<]*)</text>)re");
  std::vector<Leaf> out;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kLeaf); it != std::sregex_iterator();
       ++it) {
    out.push_back({number((*it)[1]), number((*it)[2]), (*it)[3]});
  }
  return out;
}

// Each bracket's five points, from its path "Mx yHx Vy Vy Hx": up from the
// first node, across at the new group through its node, down to the second.
inline std::vector<Bracket> brackets(const std::string& svg) {
  static const std::regex kBracket(
      R"re(<path class="bracket[^"]*" d="M([-0-9.]+) ([-0-9.]+)H([-0-9.]+)V([-0-9.]+)V([-0-9.]+)H([-0-9.]+)")re");
  std::vector<Bracket> out;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), kBracket);
       it != std::sregex_iterator(); ++it) {
    const double x0 = number((*it)[1]), y0 = number((*it)[2]), across = number((*it)[3]);
    const double node = number((*it)[4]), y4 = number((*it)[5]), x4 = number((*it)[6]);
    out.push_back({{x0, y0}, {across, y0}, {across, node}, {across, y4}, {x4, y4}});
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
