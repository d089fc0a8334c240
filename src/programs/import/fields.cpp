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

// The text with each comma as a point, and the grouping point of
// "1.234,5" dropped.
std::string pointed_number(std::string_view text) {
  std::string out;
  const bool grouped = text.find(',') != std::string_view::npos;
  for (const char c : text) {
    if (c == '.' && grouped) continue;
    out += c == ',' ? '.' : c;
  }
  return out;
}

bool names_infinity_or_nan(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return same_letters(text, "inf") || same_letters(text, "infinity") || same_letters(text, "nan");
}

// Why a text that is not a plain number was refused, in words that say what
// to write instead.
std::string why_not_a_number(std::string_view text, std::string_view expected, Separator separator) {
  const std::string head = "expected " + std::string(expected);
  const std::string found = quoted(text);
  if (text.empty()) return head + ", found an empty field";
  const bool comma = text.find(',') != std::string_view::npos;
  const bool point = text.find('.') != std::string_view::npos;
  const bool decimal_comma = separator == Separator::Semicolon;
  if (decimal_comma && comma && point && records::parse_real(pointed_number(text))) {
    return head + " without a grouping of thousands, found " + found;
  }
  // The number as the readers take it: a decimal comma as a point.
  const std::string probe = decimal_comma && comma ? pointed_number(text) : std::string(text);
  if (names_infinity_or_nan(probe)) return head + ", found " + found + ", which is not finite";
  double value = 0.0;
  const char* first = probe.data() + (probe[0] == '+' ? 1 : 0);
  const auto result = std::from_chars(first, probe.data() + probe.size(), value);
  if (result.ec == std::errc::result_out_of_range && result.ptr == probe.data() + probe.size()) {
    return head + ", found " + found + ", which lies beyond the range of 8-byte reals";
  }
  if (!decimal_comma && comma && records::parse_real(pointed_number(text))) {
    return head + " written with a decimal point, found " + found +
           (separator == Separator::Tab ? " (a decimal comma is read where semicolons separate the fields)"
                                        : "");
  }
  return head + ", found " + found;
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

double proximity_value(SourceText& source, const text::CsvField& field) {
  const std::string& file = source.file();
  const std::string_view text = trimmed(field.text);
  const std::optional<double> value = source.number(field, text, "a proximity");
  if (!value) fail_at(file, field, why_not_a_number(text, "a proximity", source.separator()));
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

std::optional<double> optional_proximity(SourceText& source, const text::CsvField& field) {
  if (is_missing(field.text)) return std::nullopt;
  return proximity_value(source, field);
}

std::optional<double> trial_value(SourceText& source, const text::CsvField& field) {
  if (is_missing(field.text)) return std::nullopt;
  const std::string_view text = trimmed(field.text);
  constexpr std::string_view kExpected = "a number, an empty field or NA";
  const std::optional<double> value = source.number(field, text, kExpected);
  if (!value) fail_at(source.file(), field, why_not_a_number(text, kExpected, source.separator()));
  return *value;
}

}  // namespace metclust::import
