#include "records/shown_text.hpp"

namespace metclust::records {
namespace {

void escape(std::string& out, unsigned char byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

std::size_t utf8_sequence_length(std::string_view text) {
  if (text.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  if (length == 3 && lead == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE) return 0;
  return length;
}

std::string shown_text(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    std::size_t length = byte < 0x20 || byte == 0x7F ? 0 : utf8_sequence_length(bytes.substr(at));
    // U+0080 to U+009F, the C1 controls: 0xC2 0x80 to 0xC2 0x9F.
    const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(bytes[at + 1]) < 0xA0;
    if (length == 0 || c1) {
      if (length == 0) length = 1;
      for (std::size_t k = 0; k < length; ++k) escape(out, static_cast<unsigned char>(bytes[at + k]));
    } else {
      out += bytes.substr(at, length);
    }
    at += length;
  }
  return out;
}

}  // namespace metclust::records
