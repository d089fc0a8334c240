#include "records/record_reader.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <variant>

#include "records/numeric_input.hpp"

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
          // Input layouts carry no literals; one is passed over like nX.
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
            if (item.kind != Kind::Int) mismatch();
            const std::optional<std::int32_t> value =
                parse_int_field(take(static_cast<std::size_t>(item.width)));
            if (!value) channels_.fail(report::kInputConversion, unit_);
            *to = *value;
          } else {
            using Real = std::remove_pointer_t<T>;
            if (item.kind != Kind::Fixed && item.kind != Kind::Exp) mismatch();
            const std::optional<Real> value =
                parse_real_field<Real>(take(static_cast<std::size_t>(item.width)), item.digits);
            if (!value) channels_.fail(report::kInputConversion, unit_);
            *to = *value;
          }
        },
        target);
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
