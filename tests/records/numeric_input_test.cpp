#include "records/numeric_input.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace metclust::records {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct IntCase {
  const char* field;
  std::optional<std::int32_t> expected;  // nullopt: input conversion failure
};

TEST(IntField, BlanksDroppedSignDigitsAndTheFourByteRange) {
  const IntCase cases[] = {
      {"", 0},
      {"      ", 0},
      {"  1990", 1990},
      {"12 ", 12},
      {"1 2 3", 123},
      {" -12", -12},
      {"+7", 7},
      {"- 5", -5},
      {"-0", 0},
      {"0000000000000000000012", 12},
      {"2147483647", kMax},
      {"-2147483648", kMin},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999999999", std::nullopt},
      // A sign needs digits after it.
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"  -  ", std::nullopt},
      {"1-", std::nullopt},
      {"--1", std::nullopt},
      {"+-1", std::nullopt},
      {"1.0", std::nullopt},
      {"1e3", std::nullopt},
      {"abc", std::nullopt},
      {"YR19", std::nullopt},
      {"\t1", std::nullopt},
  };
  for (const IntCase& c : cases) {
    EXPECT_EQ(parse_int_field(c.field), c.expected) << '"' << c.field << '"';
  }
}

struct RealCase {
  const char* field;
  int digits;
  std::optional<double> expected;  // nullopt: input conversion failure
};

// Expected values are the doubles nearest to the decimal value of the field.
TEST(RealField, GrammarImpliedFractionAndExponentForms) {
  const RealCase cases[] = {
      {"  0.12345000E+02", 8, 12.345},
      {"   12.345", 8, 12.345},
      {"1.0D-3", 8, 0.001},
      {"  -0.10000000E-02", 8, -0.001},
      {"", 8, 0.0},
      {"                ", 8, 0.0},
      // Without a decimal point the last d digits are the fraction.
      {"12345678", 8, 0.12345678},
      {"1", 8, 1e-8},
      {"00012345678", 8, 0.12345678},
      {"123", 2, 1.23},
      {"123", 0, 123.0},
      {"-5", 1, -0.5},
      // The implied fraction holds with an exponent too; a point overrides it.
      {"123E1", 2, 12.3},
      {"1d+4", 0, 1e4},
      {"1d+4", 8, 1e-4},
      {"1.d+4", 8, 1e4},
      {"1+4", 0, 1e4},
      {"1+4", 8, 1e-4},
      {"+1-4", 0, 1e-4},
      {"1.5+3", 8, 1500.0},
      {"1.0d4", 8, 1e4},
      {"1.0q4", 8, 1e4},
      {"1.0Q+4", 8, 1e4},
      {"1.0e-4", 8, 1e-4},
      {"1.0E 4", 8, 1e4},
      {" 1 . 5 ", 8, 1.5},
      {".5", 8, 0.5},
      {"5.", 8, 5.0},
      {"-.5E1", 8, -5.0},
      // Signs in front of the common written form, which takes the short path.
      {"+1.5E+02", 8, 150.0},
      {"+.5", 8, 0.5},
      {"  -1.25000000E-01", 8, -0.125},
      {"+-1.5", 8, std::nullopt},
      {"-+1.5", 8, std::nullopt},
      {"inf.", 8, std::nullopt},
      // The three-digit exponent form that 8-byte values are written with.
      {"  0.10000000+121", 8, 1e120},
      {"0.12345678-100", 8, 0.12345678e-100},
      // Signs, points and exponents without digits are no numbers.
      {"+", 8, std::nullopt},
      {"-", 8, std::nullopt},
      {".", 8, std::nullopt},
      {"+.", 8, std::nullopt},
      {"-.E1", 8, std::nullopt},
      {"E5", 8, std::nullopt},
      {"1E", 8, std::nullopt},
      {"1E+", 8, std::nullopt},
      {"1-", 8, std::nullopt},
      {"1.2.3", 8, std::nullopt},
      {"1E+-3", 8, std::nullopt},
      {"1E5.0", 8, std::nullopt},
      {"1EE5", 8, std::nullopt},
      {"--1", 8, std::nullopt},
      {"1,5", 8, std::nullopt},
      {"1.0X", 8, std::nullopt},
      {"0x1p3", 0, std::nullopt},
      {"nan", 8, std::nullopt},
      {"inf", 8, std::nullopt},
      {"-Infinity", 8, std::nullopt},
  };
  for (const RealCase& c : cases) {
    EXPECT_EQ(parse_real_field<double>(c.field, c.digits), c.expected)
        << '"' << c.field << "\" d=" << c.digits;
  }
}

TEST(RealField, FloatTargetsAreRoundedOnceFromTheText) {
  const float one_up = std::nextafter(1.0f, 2.0f);
  // 1 + 2^-24 lies exactly halfway between 1 and the next float.
  EXPECT_EQ(parse_real_field<float>("1.000000059604644775390625", 0), 1.0f);
  EXPECT_EQ(parse_real_field<float>("1.0000000596046447753906251", 0), one_up);
  EXPECT_EQ(parse_real_field<float>("1.0000000596046447753906249", 0), 1.0f);
  // Going through a double first rounds the text above halfway onto the
  // halfway point and then down to even: this case tells the two apart.
  EXPECT_EQ(static_cast<float>(*parse_real_field<double>("1.0000000596046447753906251", 0)), 1.0f);

  // 2^24 + 1 and 2^24 + 3 are halfway cases as well: ties go to even.
  EXPECT_EQ(parse_real_field<float>("16777217", 0), 16777216.0f);
  EXPECT_EQ(parse_real_field<float>("16777219", 0), 16777220.0f);
  EXPECT_EQ(parse_real_field<float>("  0.12345000E+02", 8), 12.345f);
  EXPECT_EQ(parse_real_field<float>("12345678", 8), 0.12345678f);
}

TEST(RealField, MagnitudesBeyondTheTargetFailOrBecomeSignedZero) {
  constexpr float kFloatMax = std::numeric_limits<float>::max();
  EXPECT_EQ(parse_real_field<float>("0.34028234E+39", 8), kFloatMax);
  EXPECT_EQ(parse_real_field<float>("0.34028236E+39", 8), std::nullopt);
  EXPECT_EQ(parse_real_field<float>("1.E39", 8), std::nullopt);
  EXPECT_EQ(parse_real_field<double>("1.E39", 8), 1e39);
  EXPECT_EQ(parse_real_field<double>("1.79E308", 8), 1.79e308);
  EXPECT_EQ(parse_real_field<double>("1.8E308", 8), std::nullopt);
  EXPECT_EQ(parse_real_field<double>("-1.8E308", 8), std::nullopt);

  // Subnormals are kept; below them the value is zero with the text's sign.
  EXPECT_EQ(parse_real_field<double>("1.E-310", 8), 1e-310);
  EXPECT_EQ(parse_real_field<float>("1.E-40", 8), 1e-40f);
  const struct {
    const char* field;
    bool negative;
  } zeros[] = {{"1.E-400", false}, {"-1.E-400", true}, {"-0", true}, {"-0.0E5", true},
               {"0E999999999999999999", false}, {"-1E-99999999999999999999", true}};
  for (const auto& z : zeros) {
    const std::optional<float> f = parse_real_field<float>(z.field, 8);
    const std::optional<double> d = parse_real_field<double>(z.field, 8);
    ASSERT_TRUE(f && d) << z.field;
    EXPECT_EQ(*f, 0.0f) << z.field;
    EXPECT_EQ(*d, 0.0) << z.field;
    EXPECT_EQ(std::signbit(*f), z.negative) << z.field;
    EXPECT_EQ(std::signbit(*d), z.negative) << z.field;
  }
  EXPECT_EQ(parse_real_field<float>("1.E-50", 8), 0.0f);
  EXPECT_TRUE(std::signbit(*parse_real_field<float>("-1.E-50", 8)));
  EXPECT_EQ(parse_real_field<double>("-1.E-50", 8), -1e-50);
  EXPECT_EQ(parse_real_field<double>("1E99999999999999999999", 8), std::nullopt);
  EXPECT_EQ(parse_real_field<double>("1E+2147483648", 0), std::nullopt);
}

TEST(RealField, LongDigitStringsRoundAsTheirWholeValue) {
  // A point or a d that places the digits far from the units.
  EXPECT_EQ(parse_real_field<double>("1" + std::string(5000, '0'), 0), std::nullopt);
  EXPECT_EQ(parse_real_field<double>("1" + std::string(5000, '0'), 5000), 1.0);
  EXPECT_EQ(parse_real_field<double>("0." + std::string(5000, '0') + "1", 0), 0.0);
  EXPECT_EQ(parse_real_field<double>(std::string(5000, '0') + "1.5", 0), 1.5);

  // 2^53 + 1 is halfway between two doubles; a nonzero digit a thousand
  // places further on still lifts it to the upper one.
  const double two53 = 9007199254740992.0;
  EXPECT_EQ(parse_real_field<double>("9007199254740993", 0), two53);
  EXPECT_EQ(parse_real_field<double>("9007199254740993." + std::string(1000, '0'), 0), two53);
  EXPECT_EQ(parse_real_field<double>("9007199254740993." + std::string(1000, '0') + "1", 0),
            two53 + 2.0);
  // The same with the digits before an exponent that shifts them back.
  EXPECT_EQ(parse_real_field<double>("9007199254740993" + std::string(1000, '0') + "1E-1001", 0),
            two53 + 2.0);
  // And a wrong character after a long run of digits is still found.
  EXPECT_EQ(parse_real_field<double>(std::string(3000, '7') + "x", 0), std::nullopt);
}

struct FreeCase {
  const char* text;
  FreeFormStatus status;
  std::int32_t value;
};

TEST(FreeFormInt, IntegerAndRealFormsTruncateTowardZero) {
  using S = FreeFormStatus;
  const FreeCase cases[] = {
      {"12", S::Ok, 12},
      {"-7", S::Ok, -7},
      {"+3", S::Ok, 3},
      {"2.9", S::Ok, 2},
      {"12.7", S::Ok, 12},
      {"-2.5", S::Ok, -2},
      {"-0.9", S::Ok, 0},
      {"1E3", S::Ok, 1000},
      {"1e3", S::Ok, 1000},
      {"1d2", S::Ok, 100},
      {"1.5+3", S::Ok, 1500},
      {"1+4", S::Ok, 10000},
      {"25E-1", S::Ok, 2},
      {".5", S::Ok, 0},
      {"5.", S::Ok, 5},
      {"1E-400", S::Ok, 0},
      {"2147483647", S::Ok, kMax},
      {"-2147483648", S::Ok, kMin},
      {"2147483647.9", S::Ok, kMax},
      {"-2147483648.9", S::Ok, kMin},
      {"2147483648", S::OutOfRange, 0},
      {"-2147483649", S::OutOfRange, 0},
      {"99999999999999999999", S::OutOfRange, 0},
      {"2147483648.0", S::OutOfRange, 0},
      {"-2147483649.0", S::OutOfRange, 0},
      {"1E10", S::OutOfRange, 0},
      {"1E400", S::OutOfRange, 0},
      {"abc", S::NotANumber, 0},
      {"nan", S::NotANumber, 0},
      {"NaN", S::NotANumber, 0},
      {"inf", S::NotANumber, 0},
      {"-inf", S::NotANumber, 0},
      {"+", S::NotANumber, 0},
      {"-", S::NotANumber, 0},
      {".", S::NotANumber, 0},
      {"E5", S::NotANumber, 0},
      {"1E", S::NotANumber, 0},
      {"1-", S::NotANumber, 0},
      {"1.2.3", S::NotANumber, 0},
      {"0x10", S::NotANumber, 0},
      {"3*5", S::NotANumber, 0},
      {"1 2", S::NotANumber, 0},
      {"", S::NotANumber, 0},
  };
  for (const FreeCase& c : cases) {
    const FreeFormInt got = parse_free_form_int(c.text);
    EXPECT_EQ(got.status, c.status) << '"' << c.text << '"';
    if (c.status == S::Ok) {
      EXPECT_EQ(got.value, c.value) << '"' << c.text << '"';
    }
  }
}

}  // namespace
}  // namespace metclust::records
