#include "cluster/dendro.hpp"

#include <cstddef>
#include <stdexcept>

#include "cluster/replay.hpp"
#include "cluster/segment.hpp"

namespace metclust::cluster {
namespace {

// Node slot 1..slots whose label is `label`; labels are unique in the table.
std::int32_t slot_of(std::span<const std::int32_t> nodlab, std::int32_t label,
                     std::int32_t slots) {
  for (std::int32_t k = 1; k <= slots; ++k) {
    if (at1(nodlab, k) == label) return k;
  }
  throw std::invalid_argument("fusion history names a node that does not exist");
}

// The slots of the two groups fusion s joins.
void joined_slots(std::span<const std::int32_t> NODLAB, std::span<const std::int32_t> HIST,
                  std::int32_t NL, std::int32_t s, std::int32_t& a, std::int32_t& b) {
  const std::int32_t slots = 2 * NL - 1;
  const std::int64_t h = 2 * (static_cast<std::int64_t>(s) - 1);
  a = slot_of(NODLAB, at1(HIST, h + 1), slots);
  b = slot_of(NODLAB, at1(HIST, h + 2), slots);
}

}  // namespace

void DENDRO(std::span<float> XNODE, std::span<float> YNODE,
            std::span<const records::Name> NAMES, std::span<records::Name> NODNAM,
            std::span<std::int32_t> POSLAB, std::span<std::int32_t> NODLAB,
            std::span<std::int32_t> POSSIZ, std::span<std::int32_t> ORDER,
            std::span<const std::int32_t> HIST, std::int32_t MAXL, std::int32_t NL) {
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
    at1(YNODE, k) = static_cast<float>(k - NL + 1);
  }
  for (std::int32_t s = 1; s <= NL - 1; ++s) {
    std::int32_t a = 0;
    std::int32_t b = 0;
    joined_slots(NODLAB, HIST, NL, s, a, b);
    // A 4-byte sum of two 4-byte abscissae, halved.
    const float sum = at1(XNODE, a) + at1(XNODE, b);
    at1(XNODE, NL + s) = sum * 0.5f;
  }
}

std::array<std::int32_t, 2> JOINED(std::span<const std::int32_t> NODLAB,
                                   std::span<const std::int32_t> HIST, std::int32_t NL,
                                   std::int32_t s) {
  if (s < 1 || s > NL - 1) throw std::out_of_range("no such fusion");
  std::array<std::int32_t, 2> slots{};
  joined_slots(NODLAB, HIST, NL, s, slots[0], slots[1]);
  return slots;
}

}  // namespace metclust::cluster
