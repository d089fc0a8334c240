#include "text/utf8.hpp"

#include "records/shown_text.hpp"

namespace metclust::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::size_t utf8_sequence_length(std::string_view text) {
  return records::utf8_sequence_length(text);
}

std::string valid_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto c = static_cast<unsigned char>(text[at]);
    const std::size_t length = c < 0x20 || c == 0x7F ? 0 : utf8_sequence_length(text.substr(at));
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

}  // namespace metclust::text
