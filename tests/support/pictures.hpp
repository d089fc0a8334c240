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


// The location names: the texts of each picture's group of leaves, in
// dendrogram order.
inline std::vector<Leaf> leaves(const std::string& svg) {
  static const std::regex kLeaf(R"re(<text x="([^"]*)" y="([^"]*)">([^<]*)</text>)re");
  std::vector<Leaf> out;
  for (std::size_t at = svg.find("<g class=\"leaves\">"); at != std::string::npos;
       at = svg.find("<g class=\"leaves\">", at + 1)) {
    const std::size_t end = svg.find("</g>", at);
    const std::string group = svg.substr(at, end - at);
    for (auto it = std::sregex_iterator(group.begin(), group.end(), kLeaf);
         it != std::sregex_iterator(); ++it) {
      out.push_back({number((*it)[1]), number((*it)[2]), (*it)[3]});
    }
  }
  return out;
}

// The markup of the first picture's hover data (the JSON the hover script
// reads) with its markup escapes undone.
inline std::string hover_data(const std::string& svg) {
  const std::string start = "<script type=\"application/json\" class=\"hover-data\">";
  const std::size_t at = svg.find(start);
  if (at == std::string::npos) return {};
  const std::size_t end = svg.find("</script>", at);
  std::string text = svg.substr(at + start.size(), end - at - start.size());
  std::string out;
  for (std::size_t k = 0; k < text.size(); ++k) {
    bool replaced = false;
    for (const auto& [entity, c] : {std::pair<std::string_view, char>{"&quot;", '"'}, {"&#39;", '\''},
                                    {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}}) {
      if (text.compare(k, entity.size(), entity) == 0) {
        out += c;
        k += entity.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[k];
  }
  return out;
}

// The entries of the array `key` of the hover data: numbers as their text,
// strings without their quotes (escapes undone); empty when it has none.
inline std::vector<std::string> hover_entries(const std::string& svg, std::string_view key) {
  const std::string data = hover_data(svg);
  const std::string start = "\"" + std::string(key) + "\":[";
  std::size_t k = data.find(start);
  std::vector<std::string> out;
  if (k == std::string::npos) return out;
  k += start.size();
  std::string entry;
  bool in_string = false;
  for (; k < data.size(); ++k) {
    const char c = data[k];
    if (in_string) {
      if (c == '\\' && k + 1 < data.size()) entry += data[++k];
      else if (c == '"') in_string = false;
      else entry += c;
    } else if (c == '"') {
      in_string = true;
    } else if (c == ',' || c == ']') {
      if (!entry.empty() || data[k - 1] == '"') out.push_back(entry);
      entry.clear();
      if (c == ']') break;
    } else {
      entry += c;
    }
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
