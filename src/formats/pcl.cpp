#include "formats/pcl.hpp"

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
                         std::span<const ListingEntry> listing) {
  out_.write(unit_, header_record(), {IYEAR, NL, TITLE});
  listing_ = listing;
  next_ = 0;
}

void GroupWriter::entry_record(const Point* point) {
  static const Layout point_alone("(2F7.3,1X,A3,1X,A8)");
  static const Layout entry_alone("(28X,A3,1X,A8)");
  static const Layout empty("()");
  const ListingEntry* entry = next_ < listing_.size() ? &listing_[next_] : nullptr;
  ++next_;
  if (point != nullptr && entry != nullptr) {
    out_.write(unit_, point_and_entry(),
               {point->x, point->y, text(point->number), records::view(point->name),
                text(entry->number), records::view(entry->name)});
  } else if (point != nullptr) {
    out_.write(unit_, point_alone,
               {point->x, point->y, text(point->number), records::view(point->name)});
  } else if (entry != nullptr) {
    out_.write(unit_, entry_alone, {text(entry->number), records::view(entry->name)});
  } else {
    out_.write(unit_, empty, {});
  }
}

void GroupWriter::bracket(const std::array<Point, 5>& points) {
  for (const Point& point : points) entry_record(&point);
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
