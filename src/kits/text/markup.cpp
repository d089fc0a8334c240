#include "text/markup.hpp"

#include <charconv>
#include <cstddef>

#include "text/csv.hpp"
#include "text/utf8.hpp"

namespace metclust::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    switch (c) {
      case '&':
        out += "&amp;";
        ++at;
        continue;
      case '<':
        out += "&lt;";
        ++at;
        continue;
      case '>':
        out += "&gt;";
        ++at;
        continue;
      case '"':
        out += "&quot;";
        ++at;
        continue;
      case '\'':
        out += "&#39;";
        ++at;
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
      out += kReplacement;
      ++at;
      continue;
    }
    const std::size_t length = utf8_sequence_length(text.substr(at));
    if (length == 0) {
      out += kReplacement;
      ++at;
    } else {
      out += text.substr(at, length);
      at += length;
    }
  }
  return out;
}

std::string url_segment(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

}  // namespace metclust::text
