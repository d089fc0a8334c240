#include "formats/pcl.hpp"

#include "formats/node_names.hpp"
#include "records/layout.hpp"

namespace metclust::formats::pcl {
namespace {

using records::Layout;

std::string_view text(const NodeNumber& number) { return {number.data(), number.size()}; }

const Layout& header_record() {
  static const Layout layout("(2I5,1X,A50)");
  return layout;
}
const Layout& point_and_entry() {
  static const Layout layout("(2F7.3,1X,A3,1X,A8,1X,A3,1X,A8)");
  return layout;
}

}  // namespace

void GroupWriter::header(std::int32_t IYEAR, std::int32_t NL, std::string_view TITLE,
                         std::span<const Node> listing) {
  out_.write(unit_, header_record(), {IYEAR, NL, TITLE});
  listing_ = listing;
  next_ = 0;
}

void GroupWriter::entry_record(const Node* point) {
  static const Layout point_alone("(2F7.3,1X,A3,1X,A8)");
  static const Layout entry_alone("(28X,A3,1X,A8)");
  static const Layout empty("()");
  const Node* entry = next_ < listing_.size() ? &listing_[next_] : nullptr;
  ++next_;
  const NodeNumber number = point == nullptr || point->number == 0 ? NodeNumber{' ', ' ', ' '}
                                                                    : NUM3(point->number);
  const NodeNumber entry_number = entry == nullptr ? NodeNumber{} : NUM3(entry->number);
  if (point != nullptr && entry != nullptr) {
    out_.write(unit_, point_and_entry(),
               {point->x, point->y, text(number), records::view(point->name), text(entry_number),
                records::view(entry->name)});
  } else if (point != nullptr) {
    out_.write(unit_, point_alone, {point->x, point->y, text(number), records::view(point->name)});
  } else if (entry != nullptr) {
    out_.write(unit_, entry_alone, {text(entry_number), records::view(entry->name)});
  } else {
    out_.write(unit_, empty, {});
  }
}

void GroupWriter::fusion(const Node& first, const Node& made, const Node& second) {
  const Node corner_first{first.x, made.y, 0, records::kBlankName};
  const Node corner_second{second.x, made.y, 0, records::kBlankName};
  for (const Node* point : {&first, &corner_first, &made, &corner_second, &second}) {
    entry_record(point);
  }
  entry_record(nullptr);
}

bool read_header(records::RecordReader& in, int unit, std::optional<std::int32_t>& IYEAR,
                 std::optional<std::int32_t>& NL, std::array<char, 50>& TITLE,
                 records::AtEnd at_end) {
  return in.read(unit, header_record(), {&IYEAR, &NL, std::span<char>(TITLE)}, at_end);
}

void read_record(records::RecordReader& in, int unit, ReadRecord& r) {
  in.read(unit, point_and_entry(),
          {&r.x, &r.y, std::span<char>(r.number), std::span<char>(r.name),
           std::span<char>(r.entry_number), std::span<char>(r.entry_name)});
}

}  // namespace metclust::formats::pcl
