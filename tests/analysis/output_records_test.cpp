// The record groups the analysis writes from what the engine computes: the
// fusion listing on .SCL and .CLS, and a year's plot group on .PCL.
#include "analysis/output_records.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cluster/agglom.hpp"
#include "cluster/dendro.hpp"
#include "support/channels.hpp"
#include "support/records_of.hpp"

namespace metclust::analysis {
namespace {

TEST(FusionListing, EachFusionGoesToSclAndClsAlike) {
  testing::ChannelRig files;
  files.open_outputs();
  FusionListing listing(files.writer());
  std::vector<double> pii = {1.0, 4.0, 2.0};  // d(1,2) = 1, d(1,3) = 4, d(2,3) = 2
  std::vector<std::int32_t> g(3), label(3), hist(4);
  ASSERT_TRUE(cluster::AGGLOM(pii, g, label, hist, 3, 0.0, 1, listing));

  const std::string expected =
      "      1 +   2 =   4   0.10000000E+01\r\n"
      "      4 +   3 =   5   0.20000000E+01\r\n";
  EXPECT_EQ(files.scl(), expected);
  EXPECT_EQ(files.cls(), expected);
  EXPECT_EQ(files.console(), "");
}

TEST(FusionListing, NegativeAndSmallLevels) {
  testing::ChannelRig files;
  files.open_outputs();
  FusionListing listing(files.writer());
  listing.fusion(12, 7, 130, -0.001);
  listing.fusion(1, 2, 3, -0.0);
  EXPECT_EQ(files.scl(),
            "     12 +   7 = 130  -0.10000000E-02\r\n"
            "      1 +   2 =   3   0.00000000E+00\r\n");
}

// The work segments of a year sized for MAXL locations, filled with junk
// that the dendrogram must clear or overwrite.
struct Year {
  std::vector<float> xnode, ynode;
  std::vector<records::Name> names, nodnam;
  std::vector<std::int32_t> poslab, nodlab, possiz, order, hist;

  Year(std::int32_t maxl, const std::vector<std::string_view>& locations,
       std::vector<std::int32_t> history)
      : xnode(2 * maxl - 1, -9.0f),
        ynode(2 * maxl, -9.0f),
        nodnam(2 * maxl, records::make_name("JUNKJUNK")),
        poslab(maxl, -9),
        nodlab(2 * maxl - 1, -9),
        possiz(maxl, -9),
        order(maxl, -9),
        hist(std::move(history)) {
    for (std::string_view n : locations) names.push_back(records::make_name(n));
  }

  WorkSegments segments() {
    WorkSegments work;
    work.XNODE = xnode;
    work.YNODE = ynode;
    work.NAMES = names;
    work.NODNAM = nodnam;
    work.LABEL = poslab;
    work.NODLAB = nodlab;
    work.G = possiz;
    work.ORDER = order;
    work.HIST = hist;
    return work;
  }
};

std::string plot_group(Year& year, std::int32_t maxl) {
  const auto nl = static_cast<std::int32_t>(year.names.size());
  const WorkSegments work = year.segments();
  cluster::DENDRO(work.XNODE, work.YNODE, work.NAMES, work.NODNAM, work.LABEL, work.NODLAB,
                  work.G, work.ORDER, work.HIST, maxl, nl);
  testing::ChannelRig files;
  files.open_outputs();
  records::RecordWriter& out = files.writer();
  OutputRecords groups(out);
  std::string title = "TRIAL SERIES";
  title.resize(50, ' ');
  groups.plot_group(work, 1994, nl, title);
  EXPECT_EQ(files.console(), "");
  return files.pcl();
}

std::string header(int nl) {
  return " 1994    " + std::to_string(nl) + " TRIAL SERIES" + std::string(38, ' ') + "\r\n";
}

TEST(PlotGroup, ThreeLocationsAfterTheWorkedFusions) {
  Year year(3, {"A", "B", "C"}, {1, 2, 4, 3});
  EXPECT_EQ(plot_group(year, 3), header(3) +
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

TEST(PlotGroup, TwoLocations) {
  Year year(2, {"X", "Y"}, {1, 2});
  EXPECT_EQ(plot_group(year, 2), header(2) +
                                     "  2.000  1.000   1 X          2 Y       \r\n"
                                     "  2.000  2.000                1 X       \r\n"
                                     "  1.500  2.000   3 LGp__3     3 LGp__3  \r\n"
                                     "  1.000  2.000             \r\n"
                                     "  1.000  1.000   2 Y       \r\n"
                                     "\r\n");
}

TEST(PlotGroup, FourLocationsListAnEntryAlone) {
  // The seven listing entries run into the first record of the second
  // fusion; the sixth record of the first fusion is an entry alone.
  Year year(6, {"P", "Q", "R", "S"}, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(plot_group(year, 6), header(4) +
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
}

TEST(PlotGroup, OneLocationWritesTheHeaderOnly) {
  Year year(4, {"A"}, {});
  EXPECT_EQ(plot_group(year, 4), header(1));
}

TEST(PlotGroup, RecordCountAndListingOfALargerYear) {
  // Ten locations joined in a chain: 1+2, then each next location to the group.
  constexpr std::int32_t nl = 10;
  std::vector<std::int32_t> hist = {1, 2};
  for (std::int32_t s = 2; s < nl; ++s) {
    hist.push_back(nl + s - 1);
    hist.push_back(s + 1);
  }
  Year year(nl, {"L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8", "L9", "L10"}, hist);
  const std::string pcl = plot_group(year, nl);
  ASSERT_TRUE(pcl.ends_with("\r\n"));
  const std::vector<std::string_view> records = metclust::testing::records_of(pcl);
  ASSERT_EQ(records.size(), 1u + 6u * (nl - 1));
  // Records 1..19 after the header carry the listing; none after.
  EXPECT_EQ(records[1].substr(28), "  2 L2      ");
  EXPECT_EQ(records[19].substr(28), " 19 LGp_19  ");
  for (std::size_t r = 20; r < records.size(); ++r) EXPECT_LE(records[r].size(), 27u) << r;
}

}  // namespace
}  // namespace metclust::analysis
