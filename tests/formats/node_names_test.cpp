#include "formats/node_names.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace metclust::formats {
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

}  // namespace
}  // namespace metclust::formats
