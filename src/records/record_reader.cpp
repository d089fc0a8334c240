#include "records/record_reader.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <variant>

#include "records/number_text.hpp"
#include "records/numeric_input.hpp"
#include "records/shown_text.hpp"

namespace metclust::records {
namespace {

using Kind = LayoutItem::Kind;

// How a walk over layout items ended.
enum class Walk {
  Open,     // the items ran out with targets still to fill
  Filled,   // every target has its value
  Ended,    // the stream ended and the caller takes its branch
};

// One read statement: the walk of a layout over its targets, taking the
// columns of each field from the current record.
class Statement {
 public:
  Statement(ChannelTable& channels, int unit, std::span<const Target> targets, AtEnd at_end)
      : channels_(channels), unit_(unit), targets_(targets), at_end_(at_end) {}

  bool run(const Layout& layout) {
    if (!targets_.empty() && !layout.has_fields()) no_field_left(layout);
    if (!next_record()) return false;
    if (targets_.empty()) return true;
    std::size_t start = 0;
    for (;;) {
      const std::size_t filled_before = next_;
      const Walk walk = walk_items(layout.items(), start);
      if (walk == Walk::Filled) return true;
      if (walk == Walk::Ended) return false;
      // The final parenthesis with targets left: a pass that filled none
      // would read records for ever.
      if (next_ == filled_before) no_field_left(layout);
      if (!next_record()) return false;
      start = layout.reversion_index() == Layout::npos ? 0 : layout.reversion_index();
    }
  }

 private:
  Walk walk_items(const std::vector<LayoutItem>& items, std::size_t start) {
    for (std::size_t k = start; k < items.size(); ++k) {
      const LayoutItem& item = items[k];
      switch (item.kind) {
        case Kind::Literal:
          // A literal of a record's layout is passed over like nX; a
          // throwing table checks that it stands there.
          if (channels_.throws() && peek(item.text.size()) != item.text) {
            std::string detail = "expected \"";
            detail += item.text;
            detail += "\" in column ";
            detail += decimal(static_cast<std::int64_t>(pointer_) + 1);
            detail += ", found \"";
            detail += shown_text(peek(item.text.size()));
            detail += '"';
            channels_.fail_at(report::kInputConversion, unit_,
                              static_cast<std::int64_t>(pointer_) + 1, detail);
          }
          pointer_ += item.text.size();
          break;
        case Kind::Skip:
          pointer_ += static_cast<std::size_t>(std::max(item.width, 0));
          break;
        case Kind::Tab:
          pointer_ = static_cast<std::size_t>(std::max(item.width, 1)) - 1;
          break;
        case Kind::Slash:
          if (!next_record()) return Walk::Ended;
          break;
        case Kind::Dollar:
          break;
        case Kind::Group:
          for (int r = 0; r < item.repeat; ++r) {
            const Walk walk = walk_items(item.items, 0);
            if (walk != Walk::Open) return walk;
          }
          break;
        default:
          for (int r = 0; r < item.repeat; ++r) {
            field(item, targets_[next_++]);
            if (next_ == targets_.size()) return Walk::Filled;
          }
      }
    }
    return Walk::Open;
  }

  // The next `width` columns of the record from the pointer; the part of the
  // field beyond the record's end is left out, which the numeric fields read
  // as blanks and the text fields fill with blanks.
  std::string_view take(std::size_t width) {
    const std::size_t from = std::min(pointer_, record_.size());
    const std::size_t to = std::min(pointer_ + width, record_.size());
    pointer_ += width;
    return record_.substr(from, to - from);
  }

  void field(const LayoutItem& item, const Target& target) {
    std::visit(
        [&](const auto& to) {
          using T = std::decay_t<decltype(to)>;
          if constexpr (std::is_same_v<T, std::span<char>>) {
            text_field(item, to);
          } else if constexpr (std::is_same_v<T, std::int32_t*>) {
            *to = integer(item);
          } else if constexpr (std::is_same_v<T, float*> || std::is_same_v<T, double*>) {
            *to = real<std::remove_pointer_t<T>>(item);
          } else {
            // An optional target: empty for a field of blanks.
            using Number = typename std::remove_pointer_t<T>::value_type;
            const std::size_t from = pointer_;
            const std::string_view columns = peek(static_cast<std::size_t>(item.width));
            if (columns.find_first_not_of(' ') == std::string_view::npos) {
              if constexpr (std::is_same_v<Number, std::int32_t>) {
                if (item.kind != Kind::Int) mismatch();
              } else if (item.kind != Kind::Fixed && item.kind != Kind::Exp) {
                mismatch();
              }
              pointer_ = from + static_cast<std::size_t>(item.width);
              to->reset();
            } else if constexpr (std::is_same_v<Number, std::int32_t>) {
              *to = integer(item);
            } else {
              *to = real<Number>(item);
            }
          }
        },
        target);
  }

  std::int32_t integer(const LayoutItem& item) {
    if (item.kind != Kind::Int) mismatch();
    const std::size_t column = pointer_ + 1;
    const std::string_view columns = take(static_cast<std::size_t>(item.width));
    const std::optional<std::int32_t> value = parse_int_field(columns);
    if (!value) bad_field(column, item, columns, "a whole number");
    return *value;
  }

  template <class Real>
  Real real(const LayoutItem& item) {
    if (item.kind != Kind::Fixed && item.kind != Kind::Exp) mismatch();
    const std::size_t column = pointer_ + 1;
    const std::string_view columns = take(static_cast<std::size_t>(item.width));
    const std::optional<Real> value = parse_real_field<Real>(columns, item.digits);
    if (!value) bad_field(column, item, columns, "a number");
    return *value;
  }

  // Report 64 for the field; a throwing table names the columns and what
  // stands in them.
  [[noreturn]] void bad_field(std::size_t column, const LayoutItem& item, std::string_view found,
                              std::string_view expected) {
    std::string detail = "expected ";
    detail += expected;
    detail += " in columns ";
    detail += decimal(static_cast<std::int64_t>(column));
    detail += '-';
    detail += decimal(static_cast<std::int64_t>(column) + item.width - 1);
    detail += ", found \"";
    detail += shown_text(found);
    detail += '"';
    channels_.fail_at(report::kInputConversion, unit_, static_cast<std::int64_t>(column), detail);
  }

  // The next `width` columns without moving the pointer.
  std::string_view peek(std::size_t width) const {
    const std::size_t from = std::min(pointer_, record_.size());
    const std::size_t to = std::min(pointer_ + width, record_.size());
    return record_.substr(from, to - from);
  }

  // A reads as many columns as the target holds. Aw copies its w columns
  // and blank-fills the rest of a longer target; a shorter target gets the
  // rightmost columns of the field.
  void text_field(const LayoutItem& item, std::span<char> to) {
    if (item.kind != Kind::Text && item.kind != Kind::TextW) mismatch();
    const std::size_t width =
        item.kind == Kind::Text ? to.size() : static_cast<std::size_t>(item.width);
    const std::size_t skipped = width > to.size() ? width - to.size() : 0;
    pointer_ += skipped;
    const std::string_view columns = take(width - skipped);
    std::fill(std::copy(columns.begin(), columns.end(), to.begin()), to.end(), ' ');
  }

  [[noreturn]] static void no_field_left(const Layout& layout) {
    throw std::invalid_argument("layout " + layout.notation() +
                                " has no field item for the targets left");
  }

  [[noreturn]] static void mismatch() {
    throw std::invalid_argument("target of the wrong type for its field item");
  }

  bool next_record() {
    const std::optional<std::string_view> record = channels_.next_record(unit_);
    if (!record) {
      if (at_end_ == AtEnd::Return) return false;
      channels_.fail(report::kEndOfFile, unit_);
    }
    record_ = *record;
    pointer_ = 0;
    return true;
  }

  ChannelTable& channels_;
  int unit_;
  std::span<const Target> targets_;
  AtEnd at_end_;
  std::size_t next_ = 0;
  std::string_view record_;
  std::size_t pointer_ = 0;
};

}  // namespace

bool RecordReader::read(int unit, const Layout& layout, std::span<const Target> targets,
                        AtEnd at_end) {
  return Statement(channels_, unit, targets, at_end).run(layout);
}

}  // namespace metclust::records
