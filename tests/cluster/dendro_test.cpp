#include "cluster/dendro.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/replay.hpp"

namespace metclust::cluster {
namespace {

std::string str(const records::Name& a) { return {a.begin(), a.end()}; }

TEST(Replay, MovendRotatesTheTailLeft) {
  struct Case {
    std::int32_t off, cnt;
    std::vector<std::int32_t> expected;
  };
  const Case cases[] = {
      {1, 2, {1, 4, 5, 6, 2, 3, 7}},  // entries beyond N stay
      {0, 1, {2, 3, 4, 5, 6, 1, 7}},
      {4, 2, {1, 2, 3, 4, 5, 6, 7}},  // already at the end
      {2, 0, {1, 2, 3, 4, 5, 6, 7}},
      {0, 6, {1, 2, 3, 4, 5, 6, 7}},
  };
  for (const Case& c : cases) {
    std::vector<std::int32_t> list = {1, 2, 3, 4, 5, 6, 7};
    MOVEND(list, c.off, c.cnt, 6);
    EXPECT_EQ(list, c.expected) << "OFF " << c.off << " CNT " << c.cnt;
  }
  std::vector<std::int32_t> list = {1, 2, 3};
  EXPECT_THROW(MOVEND(list, 2, 2, 3), std::out_of_range);
  EXPECT_THROW(MOVEND(list, -1, 1, 3), std::out_of_range);
  EXPECT_THROW(MOVEND(list, 0, 1, 4), std::out_of_range);
}

TEST(Replay, GroupsKeepTheirOrderAndFusedMembersMoveToTheEnd) {
  // 2+4 -> 6, 1+6 -> 7, 3+5 -> 8, 7+8 -> 9.
  const std::vector<std::int32_t> hist = {2, 4, 1, 6, 3, 5, 7, 8};
  std::vector<std::int32_t> poslab(5), possiz(5), order(5);

  // Two fusions replayed: single locations first in location order, then the
  // groups; a pair of single locations puts the later one first; a group
  // with a location puts the group first.
  REPLAY(poslab, possiz, order, hist, 5, 3);
  EXPECT_EQ(std::vector(poslab.begin(), poslab.begin() + 3), (std::vector{3, 5, 7}));
  EXPECT_EQ(std::vector(possiz.begin(), possiz.begin() + 3), (std::vector{1, 1, 3}));
  EXPECT_EQ(order, (std::vector{3, 5, 4, 2, 1}));

  // All of them: two groups put the members of the later one first.
  REPLAY(poslab, possiz, order, hist, 5, 1);
  EXPECT_EQ(poslab[0], 9);
  EXPECT_EQ(possiz[0], 5);
  EXPECT_EQ(order, (std::vector{5, 3, 4, 2, 1}));

  const std::vector<std::int32_t> unknown_label = {2, 4, 1, 9};
  EXPECT_THROW(REPLAY(poslab, possiz, order, unknown_label, 3, 1), std::invalid_argument);
  const std::vector<std::int32_t> same_group = {2, 2};
  EXPECT_THROW(REPLAY(poslab, possiz, order, same_group, 2, 1), std::invalid_argument);
}

// A year's dendrogram segments sized for MAXL locations, filled with junk
// that DENDRO must clear or overwrite.
struct Segments {
  std::vector<float> xnode, ynode;
  std::vector<records::Name> nodnam;
  std::vector<std::int32_t> poslab, nodlab, possiz, order;

  explicit Segments(std::int32_t maxl)
      : xnode(2 * maxl - 1, -9.0f),
        ynode(2 * maxl, -9.0f),
        nodnam(2 * maxl, records::make_name("JUNKJUNK")),
        poslab(maxl, -9),
        nodlab(2 * maxl - 1, -9),
        possiz(maxl, -9),
        order(maxl, -9) {}
};

void run_dendro(Segments& s, const std::vector<std::string_view>& names,
                const std::vector<std::int32_t>& hist, std::int32_t maxl, std::int32_t nl) {
  std::vector<records::Name> stored;
  for (std::string_view n : names) stored.push_back(records::make_name(n));
  DENDRO(s.xnode, s.ynode, stored, s.nodnam, s.poslab, s.nodlab, s.possiz, s.order, hist, maxl,
         nl);
}

TEST(Dendro, NodeTableOfFourLocationsAndTheRestCleared) {
  // 1+2 -> 5, 3+4 -> 6, 5+6 -> 7: dendrogram order 4, 3, 2, 1.
  Segments s(6);
  run_dendro(s, {"P", "Q", "R", "S"}, {1, 2, 3, 4, 5, 6}, 6, 4);
  EXPECT_EQ(s.order, (std::vector{4, 3, 2, 1, -9, -9}));
  EXPECT_EQ(s.xnode, (std::vector<float>{1, 2, 3, 4, 3.5f, 1.5f, 2.5f, 0, 0, 0, 0}));
  EXPECT_EQ(std::vector(s.ynode.begin(), s.ynode.end() - 1),
            (std::vector<float>{1, 1, 1, 1, 2, 3, 4, 0, 0, 0, 0}));
  EXPECT_EQ(s.nodlab, (std::vector{4, 3, 2, 1, 5, 6, 7, 0, 0, 0, 0}));
  EXPECT_EQ(str(s.nodnam[0]), "S       ");
  // The groups' names are the caller's.
  for (std::size_t k = 4; k < 11; ++k) EXPECT_EQ(str(s.nodnam[k]), "        ") << k;

  // The slots of the nodes each fusion joins: 1 + 2 are the leaves in
  // slots 4 and 3, 3 + 4 those in slots 2 and 1, then groups 5 and 6.
  const std::vector<std::int32_t> hist = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(JOINED(s.nodlab, hist, 4, 1), (std::array<std::int32_t, 2>{4, 3}));
  EXPECT_EQ(JOINED(s.nodlab, hist, 4, 2), (std::array<std::int32_t, 2>{2, 1}));
  EXPECT_EQ(JOINED(s.nodlab, hist, 4, 3), (std::array<std::int32_t, 2>{5, 6}));
  EXPECT_THROW(JOINED(s.nodlab, hist, 4, 4), std::out_of_range);
  EXPECT_THROW(JOINED(s.nodlab, hist, 4, 0), std::out_of_range);
}

TEST(Dendro, OneLocationClearsTheNodeTableOnly) {
  Segments s(4);
  run_dendro(s, {"A"}, {}, 4, 1);
  EXPECT_EQ(s.nodlab, std::vector<std::int32_t>(7, 0));
  EXPECT_EQ(s.order, std::vector<std::int32_t>(4, -9));
}

TEST(Dendro, SegmentsThatCannotHoldTheYearThrowBeforeChangingAnything) {
  Segments s(3);
  const std::vector<records::Name> names(4, records::kBlankName);
  const std::vector<std::int32_t> hist(6, 1);
  EXPECT_THROW(DENDRO(s.xnode, s.ynode, names, s.nodnam, s.poslab, s.nodlab, s.possiz, s.order,
                      hist, 3, 4),
               std::out_of_range);
  EXPECT_THROW(DENDRO(s.xnode, s.ynode, names, s.nodnam, s.poslab, s.nodlab, s.possiz, s.order,
                      hist, 4, 3),
               std::out_of_range);
  EXPECT_EQ(s.nodlab, std::vector<std::int32_t>(5, -9));
}

}  // namespace
}  // namespace metclust::cluster
