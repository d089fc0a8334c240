#include "records/record_writer.hpp"

#include <algorithm>
#include <stdexcept>
#include <type_traits>

#include "records/render.hpp"

namespace metclust::records {
namespace {

using Kind = LayoutItem::Kind;

// One write statement: the walk of a layout over its values, building each
// record in the writer's buffer and handing it to the channel when it ends.
class Statement {
 public:
  Statement(ChannelTable& channels, int unit, std::string& record, std::string& field,
            std::span<const Value> values)
      : channels_(channels), unit_(unit), record_(record), values_(values), field_(field) {
    record_.clear();
  }

  void run(const Layout& layout) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t taken = next_;
      if (!walk(layout.items(), start)) break;  // values used up at a field
      // The final parenthesis: with values left, a new record begins at the
      // last outermost group (or the first item when there is none). A pass
      // that took no value would never end, so the statement ends there.
      if (next_ >= values_.size() || next_ == taken) break;
      end_record();
      start = layout.reversion_index() == Layout::npos ? 0 : layout.reversion_index();
    }
    end_record();
    if (overflowed_) channels_.warn(report::kOutputConversion, unit_);
  }

 private:
  // Walks items[start..]; false when a field item finds no value left.
  bool walk(const std::vector<LayoutItem>& items, std::size_t start = 0) {
    for (std::size_t k = start; k < items.size(); ++k) {
      const LayoutItem& item = items[k];
      switch (item.kind) {
        case Kind::Literal:
          place(item.text);
          break;
        case Kind::Skip:
          pointer_ += static_cast<std::size_t>(item.width);
          break;
        case Kind::Tab:
          pointer_ = static_cast<std::size_t>(item.width) - 1;
          break;
        case Kind::Slash:
          end_record();
          break;
        case Kind::Dollar:
          line_end_ = false;
          break;
        case Kind::Group:
          for (int r = 0; r < item.repeat; ++r) {
            if (!walk(item.items)) return false;
          }
          break;
        default:
          for (int r = 0; r < item.repeat; ++r) {
            if (next_ >= values_.size()) return false;
            field(item, values_[next_++]);
          }
      }
    }
    return true;
  }

  // A field that starts at the end of the record is rendered straight into
  // it; one that a T item placed inside the record is rendered aside and
  // copied over the columns it covers.
  void field(const LayoutItem& item, const Value& value) {
    const bool at_end = pointer_ == record_.size();
    std::string& to = at_end ? record_ : field_;
    if (at_end) {
      reserve(pointer_ + static_cast<std::size_t>(std::max(item.width, 0)));
    } else {
      field_.clear();
    }
    bool fits = true;
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string_view>) {
            if (item.kind == Kind::Text) {
              to.append(v);
            } else if (item.kind == Kind::TextW) {
              render_text(to, v, item.width);
            } else {
              mismatch(item);
            }
          } else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>) {
            if (item.kind != Kind::Int) mismatch(item);
            fits = render_int(to, v, item.width);
          } else {
            if (item.kind == Kind::Fixed) {
              fits = render_fixed(to, v, item.width, item.digits);
            } else if (item.kind == Kind::Exp) {
              fits = render_exp(to, v, item.width, item.digits);
            } else {
              mismatch(item);
            }
          }
        },
        value);
    if (!fits) overflowed_ = true;
    if (at_end) {
      pointer_ = record_.size();
    } else {
      place(field_);
    }
  }

  [[noreturn]] static void mismatch(const LayoutItem&) {
    throw std::invalid_argument("value of the wrong type for its field item");
  }

  // Copies bytes into the record at the pointer; columns passed over by nX
  // and Tn stay blank.
  void place(std::string_view bytes) {
    const std::size_t end = pointer_ + bytes.size();
    if (record_.size() < end) {
      reserve(end);
      record_.resize(end, ' ');
    }
    record_.replace(pointer_, bytes.size(), bytes);
    pointer_ = end;
  }

  // The buffer grows by at least 512 bytes whenever a record goes beyond it.
  void reserve(std::size_t end) {
    if (record_.capacity() < end) record_.reserve(std::max(end, record_.capacity() + 512));
  }

  void end_record() {
    channels_.put_record(unit_, record_, line_end_);
    record_.clear();
    pointer_ = 0;
    line_end_ = true;
  }

  ChannelTable& channels_;
  int unit_;
  std::string& record_;
  std::span<const Value> values_;
  std::size_t next_ = 0;
  std::size_t pointer_ = 0;
  bool line_end_ = true;
  bool overflowed_ = false;
  std::string& field_;
};

}  // namespace

void RecordWriter::write(int unit, const Layout& layout, std::span<const Value> values) {
  Statement(channels_, unit, record_, field_, values).run(layout);
}

}  // namespace metclust::records
