#include "records/layout_fields.hpp"

#include <algorithm>

namespace metclust::records {
namespace {

using Kind = LayoutItem::Kind;

struct Walker {
  std::int64_t count;
  std::int64_t text_width;
  std::vector<FieldColumns> fields;
  std::int64_t record = 0;
  std::int64_t pointer = 0;  // 0-based column

  bool full() const { return static_cast<std::int64_t>(fields.size()) >= count; }

  void walk(const std::vector<LayoutItem>& items, std::size_t start) {
    for (std::size_t k = start; k < items.size() && !full(); ++k) {
      const LayoutItem& item = items[k];
      switch (item.kind) {
        case Kind::Literal:
          pointer += static_cast<std::int64_t>(item.text.size());
          break;
        case Kind::Skip:
          pointer += std::max(item.width, 0);
          break;
        case Kind::Tab:
          pointer = std::max(item.width, 1) - 1;
          break;
        case Kind::Slash:
          ++record;
          pointer = 0;
          break;
        case Kind::Dollar:
          break;
        case Kind::Group:
          for (int r = 0; r < item.repeat && !full(); ++r) walk(item.items, 0);
          break;
        default:
          for (int r = 0; r < item.repeat && !full(); ++r) {
            const std::int64_t width = item.kind == Kind::Text ? text_width : item.width;
            fields.push_back({record, pointer + 1, width, item.digits});
            pointer += width;
          }
      }
    }
  }
};

}  // namespace

std::vector<FieldColumns> field_columns(const Layout& layout, std::int64_t count,
                                        std::int64_t text_width) {
  Walker walker{count, text_width, {}};
  if (!layout.has_fields() || count <= 0) return {};
  walker.walk(layout.items(), 0);
  // At the final parenthesis with values left, the next record starts and
  // the walk goes back to the last outermost group.
  const std::size_t again = layout.reversion_index() == Layout::npos ? 0 : layout.reversion_index();
  while (!walker.full()) {
    const std::size_t before = walker.fields.size();
    ++walker.record;
    walker.pointer = 0;
    walker.walk(layout.items(), again);
    if (walker.fields.size() == before) break;
  }
  return walker.fields;
}

}  // namespace metclust::records
