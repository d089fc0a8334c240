#include "records/layout.hpp"

#include <charconv>
#include <stdexcept>
#include <string>

namespace metclust::records {
namespace {

// Recursive-descent parser over the layout notation:
//   layout := "(" [items] ")"
//   items  := item { "," item }
//   item   := [r] "(" [items] ")" | [r] (Iw | Fw.d | Ew.d | A[w]) | nX | Tn | "/" | "$" | '"' text '"'
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::vector<LayoutItem> parse_layout() {
    expect('(');
    std::vector<LayoutItem> items = parse_items();
    expect(')');
    if (pos_ != text_.size()) fail("text after the closing parenthesis");
    return items;
  }

 private:
  std::vector<LayoutItem> parse_items() {
    std::vector<LayoutItem> items;
    if (peek() == ')') return items;
    for (;;) {
      items.push_back(parse_item());
      if (peek() != ',') break;
      ++pos_;
    }
    return items;
  }

  LayoutItem parse_item() {
    LayoutItem item;
    char c = peek();
    if (c == '"') {
      item.kind = LayoutItem::Kind::Literal;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) fail("unterminated literal");
        char ch = text_[pos_++];
        if (ch == '"') {
          if (peek() != '"') break;  // "" stands for one quote inside a literal
          ++pos_;
        }
        item.text.push_back(ch);
      }
      return item;
    }
    if (c == '/') {
      ++pos_;
      item.kind = LayoutItem::Kind::Slash;
      return item;
    }
    if (c == '$') {
      ++pos_;
      item.kind = LayoutItem::Kind::Dollar;
      return item;
    }
    if (c == 'T') {
      ++pos_;
      item.kind = LayoutItem::Kind::Tab;
      item.width = number();
      if (item.width < 1) fail("T needs a column of at least 1");
      return item;
    }
    int count = 1;
    bool has_count = false;
    if (is_digit(c)) {
      count = number();
      has_count = true;
      if (count < 1) fail("repeat count below 1");
      c = peek();
    }
    ++pos_;
    switch (c) {
      case 'X':
        if (!has_count) fail("X needs a count");
        item.kind = LayoutItem::Kind::Skip;
        item.width = count;
        return item;
      case '(':
        item.kind = LayoutItem::Kind::Group;
        item.repeat = count;
        item.items = parse_items();
        expect(')');
        return item;
      case 'I':
        item.kind = LayoutItem::Kind::Int;
        item.width = positive_number();
        break;
      case 'F':
      case 'E':
        item.kind = c == 'F' ? LayoutItem::Kind::Fixed : LayoutItem::Kind::Exp;
        item.width = positive_number();
        expect('.');
        item.digits = number();
        if (c == 'E' && item.digits < 1) fail("E needs at least one digit");
        break;
      case 'A':
        if (is_digit(peek())) {
          item.kind = LayoutItem::Kind::TextW;
          item.width = positive_number();
        } else {
          item.kind = LayoutItem::Kind::Text;
        }
        break;
      default:
        --pos_;
        fail("unknown item");
    }
    item.repeat = count;
    return item;
  }

  static bool is_digit(char c) { return c >= '0' && c <= '9'; }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

  int number() {
    int value = 0;
    auto [end, ec] = std::from_chars(text_.data() + pos_, text_.data() + text_.size(), value);
    if (ec != std::errc()) fail("number expected");
    pos_ = static_cast<std::size_t>(end - text_.data());
    return value;
  }

  int positive_number() {
    int value = number();
    if (value < 1) fail("width below 1");
    return value;
  }

  void expect(char c) {
    if (peek() != c) fail(std::string("'") + c + "' expected");
    ++pos_;
  }

  [[noreturn]] void fail(const std::string& why) const {
    throw std::invalid_argument("layout " + std::string(text_) + ": " + why + " at position " +
                                std::to_string(pos_ + 1));
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

bool holds_field(const std::vector<LayoutItem>& items) {
  for (const LayoutItem& item : items) {
    if (item.takes_value()) return true;
    if (item.kind == LayoutItem::Kind::Group && holds_field(item.items)) return true;
  }
  return false;
}

}  // namespace

Layout::Layout(std::string_view notation) : notation_(notation) {
  items_ = Parser(notation).parse_layout();
  for (std::size_t k = 0; k < items_.size(); ++k) {
    if (items_[k].kind == LayoutItem::Kind::Group) reversion_ = k;
  }
  has_fields_ = holds_field(items_);
}

}  // namespace metclust::records
