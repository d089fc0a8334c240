#include "text/names.hpp"

#include <cstdint>
#include <optional>

#if defined(METCLUST_HAVE_UTF8PROC)
#include <utf8proc.h>

#include <cstdlib>
#include <memory>
#elif defined(_WIN32)
#include <windows.h>
#else
#error "names.cpp needs utf8proc (Debian: libutf8proc-dev), or the Windows API"
#endif

#include "records/shown_text.hpp"

namespace metclust::text {
namespace {

// The code point of the well-formed UTF-8 sequence of `length` bytes at the
// start of `text`.
std::int32_t code_point(std::string_view text, std::size_t length) {
  const auto byte = [&](std::size_t k) { return static_cast<std::int32_t>(static_cast<unsigned char>(text[k])); };
  if (length == 1) return byte(0);
  std::int32_t value = byte(0) & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (byte(k) & 0x3F);
  return value;
}

bool well_formed(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = records::utf8_sequence_length(text.substr(at));
    if (length == 0) return false;
    at += length;
  }
  return true;
}

#if defined(METCLUST_HAVE_UTF8PROC)

// NFC; nullopt when utf8proc refuses the text.
std::optional<std::string> composed(std::string_view text) {
  utf8proc_uint8_t* out = nullptr;
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &out,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(out, &std::free);
  if (length < 0) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
}

// White_Space: the separators (Zs, Zl, Zp) and the controls tab, LF, VT,
// FF, CR and NEL.
bool blank(std::int32_t c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
  const utf8proc_category_t category = utf8proc_category(c);
  return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
         category == UTF8PROC_CATEGORY_ZP;
}

#else

std::optional<std::wstring> wide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, out.data(), n);
  return out;
}

std::optional<std::string> composed(std::string_view text) {
  const std::optional<std::wstring> source = wide(text);
  if (!source) return std::nullopt;
  if (source->empty()) return std::string();
  const int size = static_cast<int>(source->size());
  int estimate = NormalizeString(NormalizationC, source->data(), size, nullptr, 0);
  // The estimate may fall short; the system says so, with the size needed.
  for (int attempt = 0; attempt < 4 && estimate > 0; ++attempt) {
    std::wstring out(static_cast<std::size_t>(estimate), L'\0');
    const int n = NormalizeString(NormalizationC, source->data(), size, out.data(), estimate);
    if (n > 0) {
      out.resize(static_cast<std::size_t>(n));
      const int bytes = WideCharToMultiByte(CP_UTF8, 0, out.data(), n, nullptr, 0, nullptr, nullptr);
      if (bytes <= 0) return std::nullopt;
      std::string utf8(static_cast<std::size_t>(bytes), '\0');
      WideCharToMultiByte(CP_UTF8, 0, out.data(), n, utf8.data(), bytes, nullptr, nullptr);
      return utf8;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    estimate = -n;
  }
  return std::nullopt;
}

// White_Space as the system's character types give it: C1_SPACE, and NEL,
// which they leave out.
bool blank(std::int32_t c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85) return true;
  if (c > 0xFFFF) return false;  // no blank lies outside the first plane
  const wchar_t unit = static_cast<wchar_t>(c);
  WORD type = 0;
  return GetStringTypeW(CT_CTYPE1, &unit, 1, &type) && (type & C1_SPACE) != 0;
}

#endif

}  // namespace

std::string normalized_name(std::string_view text) {
  if (!well_formed(text)) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
  }
  const std::optional<std::string> nfc = composed(text);
  const std::string_view name = nfc ? std::string_view(*nfc) : text;
  std::size_t begin = name.size();
  std::size_t end = 0;
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = records::utf8_sequence_length(name.substr(at));
    if (length == 0) break;  // cannot happen: NFC of UTF-8 is UTF-8
    if (!blank(code_point(name.substr(at), length))) {
      if (begin == name.size()) begin = at;
      end = at + length;
    }
    at += length;
  }
  if (begin >= end) return {};
  return std::string(name.substr(begin, end - begin));
}

}  // namespace metclust::text
