// Numbers as text and text as numbers, in one place for every program: the
// digits always come from std::to_chars and go through std::from_chars, so
// no locale ever changes a point into a comma.
#pragma once

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace metclust::records {

// The decimal text of an integer: "-42".
inline std::string decimal(std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

// The shortest text that reads back as `value` ("0.1", "1e+20", "-3"), with
// no "-0"; non-finite values are a logic error, the callers never hand them on.
std::string shortest_text(double value);

// Fixed notation with `precision` digits after the point; "-0.00" is written
// as "0.00". A value too long for fixed notation falls back to shortest_text.
std::string fixed_text(double value, int precision);

// Scientific notation with `precision` digits after the point: "1.50e+03".
std::string scientific_text(double value, int precision);

// The value of a whole text: an integer, with an optional "+".
std::optional<std::int64_t> parse_integer(std::string_view text);

// A real number written with digits, an optional point and exponent (no hex,
// no infinity, no NaN); nullopt for anything else.
std::optional<double> parse_real(std::string_view text);

// Parts of a message joined into one text.
inline std::string cat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (const std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (const std::string_view part : parts) text += part;
  return text;
}

}  // namespace metclust::records
