#include "cluster/fusion_listing.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cluster/agglom.hpp"
#include "cluster/pcl_channel.hpp"

namespace metclust::cluster {
namespace {

TEST(FusionListing, EachFusionGoesToSclAndClsAlike) {
  test_support::OutputFiles files;
  FusionListing listing(files.writer());
  std::vector<double> pii = {1.0, 4.0, 2.0};  // d(1,2) = 1, d(1,3) = 4, d(2,3) = 2
  std::vector<std::int32_t> g(3), label(3), hist(4);
  ASSERT_TRUE(AGGLOM(pii, g, label, hist, 3, 0.0, 1, listing));

  const std::string expected =
      "      1 +   2 =   4   0.10000000E+01\r\n"
      "      4 +   3 =   5   0.20000000E+01\r\n";
  EXPECT_EQ(files.scl(), expected);
  EXPECT_EQ(files.cls(), expected);
  EXPECT_EQ(files.console(), "");
}

TEST(FusionListing, NegativeAndSmallLevels) {
  test_support::OutputFiles files;
  FusionListing listing(files.writer());
  listing.fusion(12, 7, 130, -0.001);
  listing.fusion(1, 2, 3, -0.0);
  EXPECT_EQ(files.scl(),
            "     12 +   7 = 130  -0.10000000E-02\r\n"
            "      1 +   2 =   3   0.00000000E+00\r\n");
}

}  // namespace
}  // namespace metclust::cluster
