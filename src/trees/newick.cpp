#include "trees/newick.hpp"

#include <charconv>
#include <stdexcept>
#include <vector>

namespace metclust::trees {
namespace {

// Shortest text that reads back as the same double.
void append_number(std::string& out, double value) {
  if (value == 0.0) value = 0.0;  // no "-0"
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

bool needs_quotes(std::string_view label) {
  if (label.empty()) return true;
  for (const char c : label) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return true;
    // Characters with a meaning in Newick; an unquoted underscore reads as
    // a blank.
    if (std::string_view("()[]:;,_").find(c) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

std::string newick_label(std::string_view label) {
  // A quote would be doubled inside a quoted label, which R's ape reads as
  // NA and Biopython cuts short; the typographic apostrophe reads back in
  // both.
  std::string text;
  for (const char c : label) {
    if (c == '\'') {
      text += kApostrophe;
    } else {
      text += c;
    }
  }
  if (!needs_quotes(text)) return text;
  return "'" + text + "'";
}

std::string newick(const Tree& tree, std::span<const std::string> names) {
  const auto n = static_cast<std::size_t>(tree.locations());
  if (names.size() != n) throw std::invalid_argument("one name per location is needed");
  if (n == 0) return ";\n";
  // One location: a top node at level 0 holding it, which R's ape reads
  // (it refuses a tree that is a bare leaf).
  if (n == 1) {
    std::string out = "(";
    out += newick_label(names[0]);
    out += ":0);\n";
    return out;
  }
  // Depth-first from the top node, left before right, with an explicit
  // stack: a node is opened ("("), its left node written, then "," and its
  // right node, then closed (")" and its branch).
  struct Step {
    std::int32_t node;
    double parent_level;
    int stage;  // 0 not begun, 1 after the left node, 2 after the right one
  };
  std::string out;
  const auto top = static_cast<std::int32_t>(n + tree.fusions().size());
  std::vector<Step> stack{{top, 0.0, 0}};
  while (!stack.empty()) {
    Step& step = stack.back();
    const bool is_top = stack.size() == 1;
    if (static_cast<std::size_t>(step.node) <= n) {
      out += newick_label(names[static_cast<std::size_t>(step.node) - 1]);
      if (!is_top) {
        out += ':';
        append_number(out, step.parent_level);
      }
      stack.pop_back();
      continue;
    }
    const std::size_t s = static_cast<std::size_t>(step.node) - n - 1;
    const double level = tree.level(s);
    if (step.stage == 0) {
      out += '(';
      step.stage = 1;
      stack.push_back({tree.left(s), level, 0});
    } else if (step.stage == 1) {
      out += ',';
      step.stage = 2;
      stack.push_back({tree.right(s), level, 0});
    } else {
      out += ')';
      if (!is_top) {
        out += ':';
        append_number(out, step.parent_level - level);
      }
      stack.pop_back();
    }
  }
  out += ";\n";
  return out;
}

}  // namespace metclust::trees
