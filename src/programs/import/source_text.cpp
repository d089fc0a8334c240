#include "import/source_text.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "import/fields.hpp"
#include "records/located_error.hpp"
#include "records/number_text.hpp"

namespace metclust::import {
namespace {

constexpr std::array<Separator, 3> kSeparators = {Separator::Comma, Separator::Semicolon, Separator::Tab};

std::string plural(std::string_view word, std::int64_t count) {
  return records::decimal(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

std::string_view word_of(Separator separator) { return text::separator_word(static_cast<char>(separator)); }

// The text with its decimal comma as a point, for the number readers.
std::string pointed(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), ',', '.');
  return out;
}

}  // namespace

std::optional<Separator> separator_named(std::string_view name) {
  for (const Separator separator : kSeparators) {
    if (name == word_of(separator)) return separator;
  }
  return std::nullopt;
}

Separator separator_of(std::string_view bytes, const std::string& file) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::size_t at = 0;
  std::int64_t line = 1;
  // Empty lines before the header row are left out, as the reader leaves
  // them out.
  for (;;) {
    if (bytes.substr(at).starts_with("\n")) {
      at += 1;
    } else if (bytes.substr(at).starts_with("\r\n")) {
      at += 2;
    } else {
      break;
    }
    ++line;
  }
  std::array<std::int64_t, 3> counts = {0, 0, 0};
  bool quoted = false;
  for (; at < bytes.size(); ++at) {
    const char c = bytes[at];
    if (c == '"') {
      quoted = !quoted;  // a doubled quote turns it twice
      continue;
    }
    if (quoted) continue;
    if (c == '\n') break;
    for (std::size_t k = 0; k < kSeparators.size(); ++k) {
      if (c == static_cast<char>(kSeparators[k])) ++counts[k];
    }
  }
  const auto most = std::max_element(counts.begin(), counts.end());
  if (*most == 0) return Separator::Comma;
  const auto k = static_cast<std::size_t>(most - counts.begin());
  for (std::size_t other = 0; other < counts.size(); ++other) {
    if (other == k || counts[other] != *most) continue;
    throw records::LocatedError(
        file, line, 1,
        "cannot tell how the fields are separated: the header row holds " +
            plural(word_of(kSeparators[std::min(k, other)]), *most) + " and " +
            plural(word_of(kSeparators[std::max(k, other)]), *most) +
            " outside quotes; say which with --separator comma, semicolon or tab");
  }
  return kSeparators[k];
}

SourceText::SourceText(std::string_view bytes, std::string file, std::optional<Separator> separator)
    : file_(std::move(file)),
      separator_(separator ? *separator : separator_of(bytes, file_)),
      detected_(!separator.has_value()),
      rows_(text::read_csv(bytes, file_, static_cast<char>(separator_))) {}

bool SourceText::reads_as_number(std::string_view text) const {
  if (separator_ == Separator::Semicolon && text.find(',') != std::string_view::npos) {
    return text.find('.') == std::string_view::npos && records::parse_real(pointed(text)).has_value();
  }
  return records::parse_real(text).has_value();
}

std::optional<double> SourceText::number(const text::CsvField& field, std::string_view text,
                                         std::string_view expected) {
  if (separator_ != Separator::Semicolon) return records::parse_real(text);
  const bool comma = text.find(',') != std::string_view::npos;
  const bool point = text.find('.') != std::string_view::npos;
  if (comma && point) return std::nullopt;  // 1.234,5: a grouping of thousands
  const std::optional<double> value = records::parse_real(comma ? pointed(text) : std::string(text));
  if (!value || (!comma && !point)) return value;
  const char mark = comma ? ',' : '.';
  if (mark_ == 0) {
    mark_ = mark;
    mark_place_ = place_of(field);
  } else if (mark != mark_) {
    fail_at(file_, field,
            "expected " + std::string(expected) + " written with a decimal " +
                (mark_ == ',' ? "comma" : "point") + " as on line " + records::decimal(mark_place_.line) +
                ", column " + records::decimal(mark_place_.column) +
                " (a file writes its numbers with one decimal mark), found " + quoted(text));
  }
  return value;
}

void SourceText::take_column(std::string_view needed, std::string_view found) {
  columns_.push_back(std::string(needed) + " from column " + quoted(found));
}

std::string SourceText::description() const {
  std::vector<std::string> parts;
  if (separator_ != Separator::Comma) {
    parts.push_back("fields separated by " + std::string(word_of(separator_)) + "s" +
                    (detected_ ? " (as the header row shows)" : ""));
  }
  if (mark_ != 0) parts.push_back(mark_ == ',' ? "numbers with a decimal comma" : "numbers with a decimal point");
  for (const std::string& column : columns_) parts.push_back(column);
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += "; ";
    out += part;
  }
  return out;
}

}  // namespace metclust::import
