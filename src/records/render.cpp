#include "records/render.hpp"

#include <algorithm>
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
  const std::size_t at = out.size();
  out.resize(at + w, ' ');
  char* p = out.data() + at + (w - need);
  if (negative) *p++ = '-';
  if (zero) *p++ = '0';
  std::copy(body.begin(), body.end(), p);
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
  const std::size_t point = std::min(text.find('.'), text.size());
  const bool below_one = point == 1 && text.front() == '0';
  bool rounds_to_zero = below_one;
  for (std::size_t k = point + 1; rounds_to_zero && k < text.size(); ++k) {
    rounds_to_zero = text[k] == '0';
  }
  // The body is the text without the "0" of a magnitude below 1, with a
  // point even when there are no fraction digits.
  std::array<char, 402> body;
  char* b = body.data();
  if (!below_one) b = std::copy_n(text.data(), point, b);
  *b++ = '.';
  if (point < text.size()) b = std::copy(text.begin() + static_cast<std::ptrdiff_t>(point) + 1, text.end(), b);
  return place(out, std::string_view(body.data(), static_cast<std::size_t>(b - body.data())),
               std::signbit(value) && !rounds_to_zero, below_one, width);
}

template <typename Real>
bool exponent(std::string& out, Real value, int width, int digits) {
  if (!std::isfinite(value)) return place_non_finite(out, static_cast<double>(value), width);
  // The body: ".", the d digits, "E" for a two-digit exponent, its sign and
  // its digits.
  std::array<char, 80> body;
  char* b = body.data();
  *b++ = '.';
  int exp10 = 0;
  if (value == 0) {
    if (static_cast<std::size_t>(digits) + 6 > body.size()) return asterisks(out, width);
    b = std::fill_n(b, digits, '0');
  } else {
    // d significant digits as d.ddde+xx, correctly rounded; the fraction
    // form 0.dddd moves the exponent up by one.
    std::array<char, 64> buffer;
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                   std::chars_format::scientific, digits - 1);
    if (ec != std::errc()) return asterisks(out, width);
    const char* c = buffer.data();
    for (; *c != 'e'; ++c) {
      if (*c != '.') *b++ = *c;
    }
    const bool negative_power = c[1] == '-';
    for (c += 2; c < end; ++c) exp10 = exp10 * 10 + (*c - '0');
    exp10 = (negative_power ? -exp10 : exp10) + 1;
  }
  const int magnitude = std::abs(exp10);
  if (magnitude <= 99) *b++ = 'E';
  *b++ = exp10 < 0 ? '-' : '+';
  if (magnitude > 99) *b++ = static_cast<char>('0' + magnitude / 100);
  *b++ = static_cast<char>('0' + magnitude / 10 % 10);
  *b++ = static_cast<char>('0' + magnitude % 10);
  return place(out, std::string_view(body.data(), static_cast<std::size_t>(b - body.data())),
               std::signbit(value) && value != 0, true, width);
}

}  // namespace

bool render_int(std::string& out, std::int64_t value, int width) {
  std::array<char, 24> buffer;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  (void)ec;
  const std::size_t length = static_cast<std::size_t>(end - buffer.data());
  const std::size_t w = static_cast<std::size_t>(width);
  if (length > w) return asterisks(out, width);
  const std::size_t at = out.size();
  out.resize(at + w, ' ');
  std::copy_n(buffer.data(), length, out.data() + at + (w - length));
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
