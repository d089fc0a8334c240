#include "import/fields.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "records/located_error.hpp"
#include "records/number_text.hpp"
#include "records/shown_text.hpp"
#include "text/names.hpp"

namespace metclust::import {
namespace {

bool same_letters(std::string_view text, std::string_view lower) {
  return text.size() == lower.size() &&
         std::equal(text.begin(), text.end(), lower.begin(), [](char a, char b) {
           return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
         });
}

bool names_infinity_or_nan(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return same_letters(text, "inf") || same_letters(text, "infinity") || same_letters(text, "nan");
}

// Why a text that is not a plain number was refused, in words that say what
// to write instead.
std::string why_not_a_number(std::string_view text, std::string_view expected) {
  std::string found = quoted(text);
  if (text.empty()) return "expected " + std::string(expected) + ", found an empty field";
  if (names_infinity_or_nan(text)) {
    return "expected " + std::string(expected) + ", found " + found + ", which is not finite";
  }
  double value = 0.0;
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  const auto result = std::from_chars(first, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range && result.ptr == text.data() + text.size()) {
    return "expected " + std::string(expected) + ", found " + found +
           ", which lies beyond the range of 8-byte reals";
  }
  if (text.find(',') != std::string_view::npos) {
    std::string pointed(text);
    std::replace(pointed.begin(), pointed.end(), ',', '.');
    if (records::parse_real(pointed)) {
      return "expected " + std::string(expected) + " written with a decimal point, found " + found;
    }
  }
  return "expected " + std::string(expected) + ", found " + found;
}

}  // namespace

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

Place place_of(const text::CsvField& field) { return {field.line, field.column}; }

void fail_at(const std::string& file, const text::CsvField& field, const std::string& message) {
  throw records::LocatedError(file, field.line, field.column, message);
}

void fail_at(const std::string& file, Place place, const std::string& message) {
  throw records::LocatedError(file, place.line, place.column, message);
}

std::string quoted(std::string_view text) {
  constexpr std::size_t kLongest = 40;
  std::size_t cut = std::min(text.size(), kLongest);
  // Not inside a character: back to the start of the one the cut falls in.
  if (cut < text.size()) {
    std::size_t start = cut;
    while (start > 0 && cut - start < 3 && (static_cast<unsigned char>(text[start]) & 0xC0u) == 0x80u) --start;
    if (records::utf8_sequence_length(text.substr(start)) > cut - start) cut = start;
  }
  std::string out = "\"";
  out += records::shown_text(text.substr(0, cut));
  if (cut < text.size()) out += "...";
  out += '"';
  return out;
}

bool is_missing(std::string_view text) {
  text = trimmed(text);
  return text.empty() || text == "NA";
}

std::int64_t year_field(const std::string& file, const text::CsvField& field) {
  const std::string_view text = trimmed(field.text);
  const std::optional<std::int64_t> year = records::parse_integer(text);
  if (!year) {
    fail_at(file, field,
            text.empty() ? "expected a year, found an empty field"
                         : "expected a year (a whole number), found " + quoted(text));
  }
  return *year;
}

std::string name_field(const text::CsvField& field) { return text::normalized_name(field.text); }

std::string location_field(const std::string& file, const text::CsvField& field) {
  std::string name = name_field(field);
  if (name.empty()) fail_at(file, field, "expected a location name, found an empty field");
  return name;
}

double proximity_value(const std::string& file, const text::CsvField& field) {
  const std::string_view text = trimmed(field.text);
  const std::optional<double> value = records::parse_real(text);
  if (!value) fail_at(file, field, why_not_a_number(text, "a proximity"));
  if (*value < 0.0) {
    fail_at(file, field, "expected a proximity of at least 0, found " + quoted(text));
  }
  // A pair above the ceiling is never joined: a run would end at the first
  // fusion that finds only such pairs.
  if (*value > kLargestProximity) {
    fail_at(file, field,
            "expected a proximity of at most 1E20 (the largest metclust joins), found " +
                quoted(text));
  }
  return *value == 0.0 ? 0.0 : *value;  // no -0
}

std::optional<double> optional_proximity(const std::string& file, const text::CsvField& field) {
  if (is_missing(field.text)) return std::nullopt;
  return proximity_value(file, field);
}

std::optional<double> trial_value(const std::string& file, const text::CsvField& field) {
  if (is_missing(field.text)) return std::nullopt;
  const std::string_view text = trimmed(field.text);
  const std::optional<double> value = records::parse_real(text);
  if (!value) fail_at(file, field, why_not_a_number(text, "a number, an empty field or NA"));
  return *value;
}

}  // namespace metclust::import
