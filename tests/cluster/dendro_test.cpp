#include "cluster/dendro.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cluster/node_names.hpp"
#include "cluster/pcl_channel.hpp"
#include "cluster/replay.hpp"

namespace metclust::cluster {
namespace {

std::string str(const std::array<char, 3>& a) { return {a.begin(), a.end()}; }
std::string str(const records::Name& a) { return {a.begin(), a.end()}; }

TEST(NodeNames, NumberAndNameOfANode) {
  struct Case {
    std::int32_t n;
    const char* num3;
    const char* grpnam;
  };
  const Case cases[] = {
      {0, "  0", "LGp__0  "},     {4, "  4", "LGp__4  "},    {10, " 10", "LGp_10  "},
      {57, " 57", "LGp_57  "},    {100, "100", "LGp100  "},  {105, "105", "LGp105  "},
      {110, "110", "LGp110  "},   {123, "123", "LGp123  "},  {999, "999", "LGp999  "},
      // Beyond three digits the number cannot be shown.
      {1000, "***", "LGp***  "},  {-1, "***", "LGp***  "},
      {std::numeric_limits<std::int32_t>::min(), "***", "LGp***  "},
      {std::numeric_limits<std::int32_t>::max(), "***", "LGp***  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(str(NUM3(c.n)), c.num3) << c.n;
    EXPECT_EQ(str(GRPNAM(c.n)), c.grpnam) << c.n;
  }
}

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

std::string title50(std::string_view text) {
  std::string t(text);
  t.resize(50, ' ');
  return t;
}

std::string write_year(Segments& s, const std::vector<std::string_view>& names,
                       const std::vector<std::int32_t>& hist, std::int32_t maxl,
                       std::int32_t nl) {
  test_support::OutputFiles files;
  std::vector<records::Name> stored;
  for (std::string_view n : names) stored.push_back(records::make_name(n));
  const std::string title = title50("TRIAL SERIES");
  DENDRO(s.xnode, s.ynode, stored, s.nodnam, s.poslab, s.nodlab, s.possiz, s.order, hist, title,
         maxl, nl, 1994, files.writer());
  EXPECT_EQ(files.console(), "");
  return files.pcl();
}

const std::string kHeader3 = " 1994    3 TRIAL SERIES" + std::string(38, ' ') + "\r\n";

TEST(Dendro, ThreeLocationsAfterTheWorkedFusions) {
  Segments s(3);
  const std::string pcl = write_year(s, {"A", "B", "C"}, {1, 2, 4, 3}, 3, 3);
  EXPECT_EQ(pcl, kHeader3 +
                     "  2.000  1.000   1 A          2 B       \r\n"
                     "  2.000  2.000                1 A       \r\n"
                     "  1.500  2.000   4 LGp__4     3 C       \r\n"
                     "  1.000  2.000                4 LGp__4  \r\n"
                     "  1.000  1.000   2 B          5 LGp__5  \r\n"
                     "\r\n"
                     "  1.500  2.000   4 LGp__4  \r\n"
                     "  1.500  3.000             \r\n"
                     "  2.250  3.000   5 LGp__5  \r\n"
                     "  3.000  3.000             \r\n"
                     "  3.000  1.000   3 C       \r\n"
                     "\r\n");
}

TEST(Dendro, TwoLocations) {
  Segments s(2);
  const std::string pcl = write_year(s, {"X", "Y"}, {1, 2}, 2, 2);
  EXPECT_EQ(pcl, " 1994    2 TRIAL SERIES" + std::string(38, ' ') + "\r\n" +
                     "  2.000  1.000   1 X          2 Y       \r\n"
                     "  2.000  2.000                1 X       \r\n"
                     "  1.500  2.000   3 LGp__3     3 LGp__3  \r\n"
                     "  1.000  2.000             \r\n"
                     "  1.000  1.000   2 Y       \r\n"
                     "\r\n");
}

TEST(Dendro, FourLocationsListAnEntryAloneAndClearTheWholeNodeTable) {
  // 1+2 -> 5, 3+4 -> 6, 5+6 -> 7: dendrogram order 4, 3, 2, 1. The seven
  // listing entries run into the first record of the second fusion; the
  // sixth record of the first fusion is an entry alone.
  Segments s(6);
  const std::string pcl = write_year(s, {"P", "Q", "R", "S"}, {1, 2, 3, 4, 5, 6}, 6, 4);
  EXPECT_EQ(pcl, " 1994    4 TRIAL SERIES" + std::string(38, ' ') + "\r\n" +
                     "  4.000  1.000   1 P          4 S       \r\n"
                     "  4.000  2.000                3 R       \r\n"
                     "  3.500  2.000   5 LGp__5     2 Q       \r\n"
                     "  3.000  2.000                1 P       \r\n"
                     "  3.000  1.000   2 Q          5 LGp__5  \r\n"
                     "                              6 LGp__6  \r\n"
                     "  2.000  1.000   3 R          7 LGp__7  \r\n"
                     "  2.000  3.000             \r\n"
                     "  1.500  3.000   6 LGp__6  \r\n"
                     "  1.000  3.000             \r\n"
                     "  1.000  1.000   4 S       \r\n"
                     "\r\n"
                     "  3.500  2.000   5 LGp__5  \r\n"
                     "  3.500  4.000             \r\n"
                     "  2.500  4.000   7 LGp__7  \r\n"
                     "  1.500  4.000             \r\n"
                     "  1.500  3.000   6 LGp__6  \r\n"
                     "\r\n");
  EXPECT_EQ(s.order, (std::vector{4, 3, 2, 1, -9, -9}));
  EXPECT_EQ(s.xnode, (std::vector<float>{1, 2, 3, 4, 3.5f, 1.5f, 2.5f, 0, 0, 0, 0}));
  EXPECT_EQ(std::vector(s.ynode.begin(), s.ynode.end() - 1),
            (std::vector<float>{1, 1, 1, 1, 2, 3, 4, 0, 0, 0, 0}));
  EXPECT_EQ(s.nodlab, (std::vector{4, 3, 2, 1, 5, 6, 7, 0, 0, 0, 0}));
  for (std::size_t k = 7; k < 11; ++k) EXPECT_EQ(str(s.nodnam[k]), "        ") << k;
}

TEST(Dendro, OneLocationWritesTheHeaderOnly) {
  Segments s(4);
  EXPECT_EQ(write_year(s, {"A"}, {}, 4, 1), " 1994    1 TRIAL SERIES" + std::string(38, ' ') + "\r\n");
  EXPECT_EQ(s.nodlab, std::vector<std::int32_t>(7, 0));
}

TEST(Dendro, RecordCountAndListingOfALargerYear) {
  // Ten locations joined in a chain: 1+2, then each next location to the group.
  constexpr std::int32_t nl = 10;
  std::vector<std::int32_t> hist = {1, 2};
  for (std::int32_t s = 2; s < nl; ++s) {
    hist.push_back(nl + s - 1);
    hist.push_back(s + 1);
  }
  Segments s(nl);
  const std::vector<std::string_view> names = {"L1", "L2", "L3", "L4", "L5",
                                               "L6", "L7", "L8", "L9", "L10"};
  const std::string pcl = write_year(s, names, hist, nl, nl);
  std::vector<std::string> records;
  for (std::size_t at = 0; at < pcl.size();) {
    const std::size_t end = pcl.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    records.push_back(pcl.substr(at, end - at));
    at = end + 2;
  }
  ASSERT_EQ(records.size(), 1u + 6u * (nl - 1));
  // Records 1..19 after the header carry the listing; none after.
  EXPECT_EQ(records[1].substr(28), "  2 L2      ");
  EXPECT_EQ(records[19].substr(28), " 19 LGp_19  ");
  for (std::size_t r = 20; r < records.size(); ++r) EXPECT_LE(records[r].size(), 27u) << r;
}

TEST(Dendro, SegmentsThatCannotHoldTheYearThrowBeforeWriting) {
  test_support::OutputFiles files;
  Segments s(3);
  const std::vector<records::Name> names(4, records::kBlankName);
  const std::vector<std::int32_t> hist(6, 1);
  const std::string title = title50("");
  EXPECT_THROW(DENDRO(s.xnode, s.ynode, names, s.nodnam, s.poslab, s.nodlab, s.possiz, s.order,
                      hist, title, 3, 4, 1994, files.writer()),
               std::out_of_range);
  EXPECT_THROW(DENDRO(s.xnode, s.ynode, names, s.nodnam, s.poslab, s.nodlab, s.possiz, s.order,
                      hist, title, 4, 3, 1994, files.writer()),
               std::out_of_range);
  EXPECT_EQ(files.pcl(), "");
}

}  // namespace
}  // namespace metclust::cluster
