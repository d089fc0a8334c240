#include "records/render.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace metclust::records {
namespace {

struct IntCase {
  std::int32_t value;
  int width;
  const char* text;
  bool fits;
};

TEST(RenderInt, RightJustifiedWithSignAndAsterisksOnOverflow) {
  const IntCase cases[] = {
      {123, 6, "   123", true},     {-5, 6, "    -5", true},      {-12345, 6, "-12345", true},
      {123456, 6, "123456", true},  {-123456, 6, "******", false}, {1234567, 6, "******", false},
      {0, 6, "     0", true},       {7, 1, "7", true},             {12, 1, "*", false},
      {-1, 1, "*", false},          {std::numeric_limits<std::int32_t>::min(), 11, "-2147483648", true},
      {std::numeric_limits<std::int32_t>::min(), 10, "**********", false},
      // The sign stands right before the digits, with the blanks all to the left.
      {std::numeric_limits<std::int32_t>::min(), 12, " -2147483648", true},
      {std::numeric_limits<std::int32_t>::min(), 14, "   -2147483648", true},
      {std::numeric_limits<std::int32_t>::max(), 11, " 2147483647", true},
  };
  for (const IntCase& c : cases) {
    std::string out;
    EXPECT_EQ(render_int(out, c.value, c.width), c.fits) << c.value;
    EXPECT_EQ(out, c.text) << c.value << " in I" << c.width;
  }
}

struct RealCase {
  double value;
  int width;
  int digits;
  const char* text;
  bool fits;
};

TEST(RenderFixed, RoundsTheExactBinaryValueHalfToEven) {
  const RealCase cases[] = {
      {0.5, 7, 3, "  0.500", true},       {-0.5, 7, 3, " -0.500", true},
      {12.3456, 7, 3, " 12.346", true},   {-0.0004, 7, 3, "  0.000", true},
      {-0.0, 7, 3, "  0.000", true},      {0.0625, 7, 3, "  0.062", true},
      {0.1875, 7, 3, "  0.188", true},    {0.0006, 7, 3, "  0.001", true},
      {-0.0006, 7, 3, " -0.001", true},   {999.999, 7, 3, "999.999", true},
      {-99.999, 7, 3, "-99.999", true},   {999.9996, 7, 3, "*******", false},
      {-100.0, 7, 3, "*******", false},   {1.0, 7, 3, "  1.000", true},
      // One free column: a minus sign takes it and the leading zero is left
      // out; a positive value gets its zero.
      {-0.5, 5, 3, "-.500", true},        {0.5, 4, 3, ".500", true},
      {0.5, 5, 3, "0.500", true},
      {-0.5, 4, 3, "****", false},        {2.5, 4, 0, "  2.", true},
      {3.5, 4, 0, "  4.", true},
  };
  for (const RealCase& c : cases) {
    std::string out;
    EXPECT_EQ(render_fixed(out, c.value, c.width, c.digits), c.fits) << c.value;
    EXPECT_EQ(out, c.text) << c.value << " in F" << c.width << "." << c.digits;
  }
}

TEST(RenderFixed, FloatValuesRoundOnTheirOwnBinaryValue) {
  // 2.0005f is stored just below 2.0005, 1.0625f exactly; each rounds by its own bits.
  std::string out;
  render_fixed(out, 2.0005f, 7, 3);
  render_fixed(out, 1.0625f, 7, 3);
  render_fixed(out, 2.25f, 7, 3);
  EXPECT_EQ(out, "  2.000  1.062  2.250");
}

TEST(RenderExp, FractionFormWithTwoOrThreeDigitExponents) {
  const RealCase cases[] = {
      {12.345, 16, 8, "  0.12345000E+02", true},
      {-0.001, 16, 8, " -0.10000000E-02", true},
      {0.0, 16, 8, "  0.00000000E+00", true},
      {-0.0, 16, 8, "  0.00000000E+00", true},
      {9.999999999, 16, 8, "  0.10000000E+02", true},
      {4.0, 16, 8, "  0.40000000E+01", true},
      {1e121, 16, 8, "  0.10000000+122", true},
      {1e-120, 16, 8, "  0.10000000-119", true},
      {-1.5e300, 16, 8, " -0.15000000+301", true},
      {1e99, 16, 8, "  0.10000000+100", true},
      {1e98, 16, 8, "  0.10000000E+99", true},
      {0.125, 14, 2, "      0.12E+00", true},  // tie to even
      {0.375, 14, 2, "      0.38E+00", true},
      // d + 5 columns are the least; one more for a minus sign; one more for the zero.
      {1.0, 13, 8, ".10000000E+01", true},
      {1.0, 14, 8, "0.10000000E+01", true},
      {1.0, 12, 8, "************", false},
      {-1.0, 13, 8, "*************", false},
      {-1.0, 14, 8, "-.10000000E+01", true},
  };
  for (const RealCase& c : cases) {
    std::string out;
    EXPECT_EQ(render_exp(out, c.value, c.width, c.digits), c.fits) << c.value;
    EXPECT_EQ(out, c.text) << c.value << " in E" << c.width << "." << c.digits;
  }
}

TEST(RenderExp, FloatValuesUseTheirOwnDigits) {
  std::string out;
  render_exp(out, 0.1f, 16, 8);  // 0.100000001490116...
  EXPECT_EQ(out, "  0.10000000E+00");
  out.clear();
  render_exp(out, 3.4028235e38f, 16, 8);
  EXPECT_EQ(out, "  0.34028235E+39");
}

TEST(RenderNonFinite, WordsRightJustifiedOrAsterisks) {
  std::string out;
  EXPECT_TRUE(render_exp(out, std::numeric_limits<double>::quiet_NaN(), 16, 8));
  EXPECT_TRUE(render_fixed(out, -std::numeric_limits<double>::infinity(), 10, 3));
  EXPECT_FALSE(render_fixed(out, std::numeric_limits<double>::infinity(), 7, 3));
  EXPECT_EQ(out, "             NaN -Infinity*******");
}

TEST(RenderText, RightJustifiedOrCut) {
  std::string out;
  render_text(out, "ABC", 8);
  render_text(out, "ABCDEFGH", 3);
  render_text(out, "ABCDEFGH", 8);
  EXPECT_EQ(out, "     ABCABCABCDEFGH");
}

}  // namespace
}  // namespace metclust::records
