#include "records/render.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace metclust::records {
namespace {

bool asterisks(std::string& out, int width) {
  out.append(static_cast<std::size_t>(width), '*');
  return false;
}

// Places a number's body right-justified in the field. The body is the
// number without sign and without a leading "0" before the point; the "0"
// goes in only when the field has a free column for it, and a minus sign
// takes precedence over it when exactly one column is free.
bool place(std::string& out, std::string_view body, bool negative, bool leading_zero_wanted,
           int width) {
  const std::size_t w = static_cast<std::size_t>(width);
  std::size_t need = body.size() + (negative ? 1 : 0);
  if (need > w) return asterisks(out, width);
  const bool zero = leading_zero_wanted && need < w;
  if (zero) ++need;
  out.append(w - need, ' ');
  if (negative) out.push_back('-');
  if (zero) out.push_back('0');
  out.append(body);
  return true;
}

// Infinity and not-a-number never arise from valid jobs; they are shown as
// words so that a damaged matrix is visible in the listing.
bool place_non_finite(std::string& out, double value, int width) {
  std::string_view word = std::isnan(value) ? "NaN" : (value < 0 ? "-Infinity" : "Infinity");
  if (word.size() > static_cast<std::size_t>(width)) return asterisks(out, width);
  out.append(static_cast<std::size_t>(width) - word.size(), ' ');
  out.append(word);
  return true;
}

template <typename Real>
bool fixed(std::string& out, Real value, int width, int digits) {
  if (!std::isfinite(value)) return place_non_finite(out, static_cast<double>(value), width);
  // Digits of the magnitude, correctly rounded (ties to even) on the exact
  // binary value: "123.457", or "0.500" for magnitudes below 1.
  std::array<char, 400> buffer;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                 std::chars_format::fixed, digits);
  if (ec != std::errc()) return asterisks(out, width);
  std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  const std::size_t point = text.find('.');
  std::string_view integer = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  const bool below_one = integer == "0";
  const bool rounds_to_zero =
      below_one && fraction.find_first_not_of('0') == std::string_view::npos;
  std::string body;
  if (!below_one) body.append(integer);
  body.push_back('.');
  body.append(fraction);
  return place(out, body, std::signbit(value) && !rounds_to_zero, below_one, width);
}

template <typename Real>
bool exponent(std::string& out, Real value, int width, int digits) {
  if (!std::isfinite(value)) return place_non_finite(out, static_cast<double>(value), width);
  std::string body = ".";
  int exp10 = 0;
  if (value == 0) {
    body.append(static_cast<std::size_t>(digits), '0');
  } else {
    // d significant digits as d.ddde+xx, correctly rounded; the fraction
    // form 0.dddd moves the exponent up by one.
    std::array<char, 64> buffer;
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                   std::chars_format::scientific, digits - 1);
    if (ec != std::errc()) return asterisks(out, width);
    std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    const std::size_t e = text.find('e');
    for (char c : text.substr(0, e)) {
      if (c != '.') body.push_back(c);
    }
    std::string_view power = text.substr(e + 1);
    if (power.front() == '+') power.remove_prefix(1);
    std::from_chars(power.data(), power.data() + power.size(), exp10);
    exp10 += 1;
  }
  const int magnitude = std::abs(exp10);
  if (magnitude <= 99) body.push_back('E');
  body.push_back(exp10 < 0 ? '-' : '+');
  std::array<char, 8> power;
  auto [end, ec] = std::to_chars(power.data(), power.data() + power.size(), magnitude);
  (void)ec;
  std::size_t length = static_cast<std::size_t>(end - power.data());
  if (length < 2) body.push_back('0');
  body.append(power.data(), length);
  return place(out, body, std::signbit(value) && value != 0, true, width);
}

}  // namespace

bool render_int(std::string& out, std::int64_t value, int width) {
  std::array<char, 24> buffer;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  (void)ec;
  const std::size_t length = static_cast<std::size_t>(end - buffer.data());
  if (length > static_cast<std::size_t>(width)) return asterisks(out, width);
  out.append(static_cast<std::size_t>(width) - length, ' ');
  out.append(buffer.data(), length);
  return true;
}

bool render_fixed(std::string& out, double value, int width, int digits) {
  return fixed(out, value, width, digits);
}
bool render_fixed(std::string& out, float value, int width, int digits) {
  return fixed(out, value, width, digits);
}
bool render_exp(std::string& out, double value, int width, int digits) {
  return exponent(out, value, width, digits);
}
bool render_exp(std::string& out, float value, int width, int digits) {
  return exponent(out, value, width, digits);
}

void render_text(std::string& out, std::string_view text, int width) {
  const std::size_t w = static_cast<std::size_t>(width);
  if (w >= text.size()) {
    out.append(w - text.size(), ' ');
    out.append(text);
  } else {
    out.append(text.substr(0, w));
  }
}

}  // namespace metclust::records
