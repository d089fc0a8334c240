#include "records/number_text.hpp"

#include <cmath>
#include <stdexcept>

namespace metclust::records {

std::string shortest_text(double value) {
  if (!std::isfinite(value)) throw std::logic_error("non-finite number for a text field");
  if (value == 0.0) value = 0.0;  // no "-0"
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

std::string fixed_text(double value, int precision) {
  char digits[400];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
  if (result.ec != std::errc()) return shortest_text(value);
  std::string text(digits, result.ptr);
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string scientific_text(double value, int precision) {
  char digits[64];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, precision);
  if (result.ec != std::errc()) return shortest_text(value);
  return std::string(digits, result.ptr);
}

std::optional<std::int64_t> parse_integer(std::string_view text) {
  std::int64_t value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  const auto result = std::from_chars(first, last, value);
  if (result.ec != std::errc() || result.ptr != last || first == last) return std::nullopt;
  return value;
}

std::optional<double> parse_real(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return std::nullopt;
  // Only digits, one point, signs and an exponent letter: no "inf", "nan"
  // or hexadecimal forms, which from_chars would otherwise take.
  for (const char* c = first; c != last; ++c) {
    const bool allowed = (*c >= '0' && *c <= '9') || *c == '.' || *c == 'e' || *c == 'E' ||
                         *c == '+' || *c == '-';
    if (!allowed) return std::nullopt;
  }
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace metclust::records
