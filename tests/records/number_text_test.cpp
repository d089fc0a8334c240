#include "records/number_text.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <stdexcept>
#include <string>

namespace metclust::records {
namespace {

TEST(Numbers, WholeAndRealArgumentsWithoutLocale) {
  EXPECT_EQ(parse_integer("42"), 42);
  EXPECT_EQ(parse_integer("+7"), 7);
  EXPECT_EQ(parse_integer("-3"), -3);
  for (const char* bad : {"", "+", "4x", "1.0", " 4", "99999999999999999999"}) {
    EXPECT_FALSE(parse_integer(bad)) << bad;
  }
  EXPECT_EQ(parse_real("0.5"), 0.5);
  EXPECT_EQ(parse_real("+1e-3"), 1e-3);
  EXPECT_EQ(parse_real("-2"), -2.0);
  for (const char* bad : {"", "inf", "nan", "0x1p3", "1,5", "1e999", "."}) {
    EXPECT_FALSE(parse_real(bad)) << bad;
  }
}

TEST(ShortestText, ReadsBackExactly) {
  for (const double value : {0.1, 1.0 / 3.0, 123456789.125, 5e-324, 1.7976931348623157e308, 0.30000000000000004}) {
    const std::string text = shortest_text(value);
    double back = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
    EXPECT_EQ(back, value) << text;
  }
  EXPECT_THROW(shortest_text(std::numeric_limits<double>::infinity()), std::logic_error);
}

TEST(FixedText, NoNegativeZero) {
  EXPECT_EQ(fixed_text(-0.001, 2), "0.00");
  EXPECT_EQ(fixed_text(-0.005, 3), "-0.005");
  EXPECT_EQ(fixed_text(2.5, 0), "2");  // half to even on the exact binary value
}

}  // namespace
}  // namespace metclust::records
