#include "cluster/dendro.hpp"

#include <array>
#include <cstddef>
#include <stdexcept>

#include "cluster/node_names.hpp"
#include "cluster/replay.hpp"
#include "cluster/segment.hpp"
#include "records/channel_table.hpp"
#include "records/layout.hpp"

namespace metclust::cluster {
namespace {

constexpr std::array<char, 3> kNoNumber = {' ', ' ', ' '};

struct Point {
  float x;
  float y;
  std::array<char, 3> number;
  records::Name name;
};

std::string_view text(const std::array<char, 3>& number) { return {number.data(), number.size()}; }

// Node slot 1..2*NL-1 whose label is `label`; labels are unique in the table.
std::int32_t slot_of(std::span<const std::int32_t> nodlab, std::int32_t label,
                     std::int32_t slots) {
  for (std::int32_t k = 1; k <= slots; ++k) {
    if (at1(nodlab, k) == label) return k;
  }
  throw std::invalid_argument("fusion history names a node that does not exist");
}

}  // namespace

void DENDRO(std::span<float> XNODE, std::span<float> YNODE,
            std::span<const records::Name> NAMES, std::span<records::Name> NODNAM,
            std::span<std::int32_t> POSLAB, std::span<std::int32_t> NODLAB,
            std::span<std::int32_t> POSSIZ, std::span<std::int32_t> ORDER,
            std::span<const std::int32_t> HIST, std::string_view TITLE, std::int32_t MAXL,
            std::int32_t NL, std::int32_t IYEAR, records::RecordWriter& out) {
  static const records::Layout kHeader("(2I5,1X,A50)");
  static const records::Layout kPointWithEntry("(2F7.3,1X,A3,1X,A8,1X,A3,1X,A8)");
  static const records::Layout kPoint("(2F7.3,1X,A3,1X,A8)");
  static const records::Layout kEntry("(28X,A3,1X,A8)");
  static const records::Layout kEmpty("()");

  const std::int64_t table = 2 * static_cast<std::int64_t>(MAXL) - 1;
  const std::int64_t used = 2 * static_cast<std::int64_t>(NL) - 1;
  if (NL > MAXL) throw std::out_of_range("more locations than the node table holds");
  require_length(XNODE, table, "node abscissae shorter than the node table");
  require_length(YNODE, table, "node ordinates shorter than the node table");
  require_length(NODLAB, table, "node labels shorter than the node table");
  require_length(NODNAM, table, "node names shorter than the node table");
  if (NL >= 2) {
    require_length(NAMES, NL, "location names shorter than the year's locations");
    require_length(HIST, 2 * (static_cast<std::int64_t>(NL) - 1), "history shorter than the fusions");
  }

  out.write(records::kPcl, kHeader, {IYEAR, NL, TITLE});

  for (std::int64_t k = 1; k <= table; ++k) {
    at1(XNODE, k) = 0.0f;
    at1(YNODE, k) = 0.0f;
    at1(NODLAB, k) = 0;
    at1(NODNAM, k) = records::kBlankName;
  }
  if (NL < 2) return;

  REPLAY(POSLAB, POSSIZ, ORDER, HIST, NL, 1);

  // Leaves in dendrogram order, then one node per fusion, a level apart.
  for (std::int32_t k = 1; k <= NL; ++k) {
    at1(XNODE, k) = static_cast<float>(k);
    at1(YNODE, k) = 1.0f;
    at1(NODLAB, k) = at1(ORDER, k);
    at1(NODNAM, k) = at1(NAMES, at1(ORDER, k));
  }
  for (std::int32_t k = NL + 1; k <= used; ++k) {
    at1(NODLAB, k) = k;
    at1(NODNAM, k) = GRPNAM(k);
    at1(YNODE, k) = static_cast<float>(k - NL + 1);
  }
  const std::int32_t slots = static_cast<std::int32_t>(used);
  auto children = [&](std::int32_t s, std::int32_t& a, std::int32_t& b) {
    const std::int64_t h = 2 * (static_cast<std::int64_t>(s) - 1);
    a = slot_of(NODLAB, at1(HIST, h + 1), slots);
    b = slot_of(NODLAB, at1(HIST, h + 2), slots);
  };
  for (std::int32_t s = 1; s <= NL - 1; ++s) {
    std::int32_t a = 0;
    std::int32_t b = 0;
    children(s, a, b);
    // A 4-byte sum of two 4-byte abscissae, halved.
    const float sum = at1(XNODE, a) + at1(XNODE, b);
    at1(XNODE, NL + s) = sum * 0.5f;
  }

  // Record c after the header carries the listing entry of slot c while
  // there is one.
  std::int64_t c = 0;
  for (std::int32_t s = 1; s <= NL - 1; ++s) {
    std::int32_t a = 0;
    std::int32_t b = 0;
    children(s, a, b);
    const std::int32_t n = NL + s;
    const std::array<Point, 5> bracket = {{
        {at1(XNODE, a), at1(YNODE, a), NUM3(at1(NODLAB, a)), at1(NODNAM, a)},
        {at1(XNODE, a), at1(YNODE, n), kNoNumber, records::kBlankName},
        {at1(XNODE, n), at1(YNODE, n), NUM3(n), at1(NODNAM, n)},
        {at1(XNODE, b), at1(YNODE, n), kNoNumber, records::kBlankName},
        {at1(XNODE, b), at1(YNODE, b), NUM3(at1(NODLAB, b)), at1(NODNAM, b)},
    }};
    for (const Point& p : bracket) {
      ++c;
      if (c <= used) {
        const std::array<char, 3> entry = NUM3(at1(NODLAB, c));
        out.write(records::kPcl, kPointWithEntry,
                  {p.x, p.y, text(p.number), records::view(p.name), text(entry),
                   records::view(at1(NODNAM, c))});
      } else {
        out.write(records::kPcl, kPoint, {p.x, p.y, text(p.number), records::view(p.name)});
      }
    }
    ++c;
    if (c <= used) {
      const std::array<char, 3> entry = NUM3(at1(NODLAB, c));
      out.write(records::kPcl, kEntry, {text(entry), records::view(at1(NODNAM, c))});
    } else {
      out.write(records::kPcl, kEmpty, {});
    }
  }
}

}  // namespace metclust::cluster
