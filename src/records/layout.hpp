// Record layouts in the notation the file formats are documented in, for
// example (I6,1X,A8,1X,(T17,10E16.8)). A layout is parsed once, when it is
// constructed, into a tree of items that the writer and the reader walk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace metclust::records {

struct LayoutItem {
  enum class Kind {
    Int,      // Iw
    Fixed,    // Fw.d
    Exp,      // Ew.d
    Text,     // A  (as wide as the value)
    TextW,    // Aw
    Literal,  // "text"
    Skip,     // nX
    Tab,      // Tn
    Slash,    // /
    Dollar,   // $  (no line end for this record)
    Group,    // r(...) or (...)
  };
  Kind kind = Kind::Literal;
  int width = 0;     // w of Iw, Fw.d, Ew.d, Aw; n of nX and Tn
  int digits = 0;    // d of Fw.d and Ew.d
  int repeat = 1;    // r of r-item and r(...)
  std::string text;  // the literal's bytes
  std::vector<LayoutItem> items;  // a group's items

  bool takes_value() const {
    return kind == Kind::Int || kind == Kind::Fixed || kind == Kind::Exp ||
           kind == Kind::Text || kind == Kind::TextW;
  }
};

class Layout {
 public:
  // Parses the notation; a malformed layout is a programming error and
  // throws std::invalid_argument naming the position.
  explicit Layout(std::string_view notation);

  const std::vector<LayoutItem>& items() const { return items_; }
  // Index into items() of the last group directly inside the outer
  // parentheses, where the walk starts again when values remain at the final
  // parenthesis; npos when there is none (the walk restarts at item 0).
  std::size_t reversion_index() const { return reversion_; }
  // True when the layout holds at least one field item.
  bool has_fields() const { return has_fields_; }
  const std::string& notation() const { return notation_; }

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

 private:
  std::string notation_;
  std::vector<LayoutItem> items_;
  std::size_t reversion_ = npos;
  bool has_fields_ = false;
};

}  // namespace metclust::records
