// Texts of messages: the decimal text of an integer, as to_chars writes it,
// and parts joined into one text.
#pragma once

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace metclust::records {

inline std::string decimal(std::int64_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

inline std::string cat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (const std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (const std::string_view part : parts) text += part;
  return text;
}

}  // namespace metclust::records
