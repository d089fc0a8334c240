#include "import/job_names.hpp"

#include <cstdint>
#include <set>
#include <string_view>
#include <vector>

#include "records/number_text.hpp"

namespace metclust::import {
namespace {

bool printable_ascii(std::string_view text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// The letters U+00C0 to U+00FF without their accents, one character each.
constexpr std::string_view kLatin1Letters =
    "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTs"
    "aaaaaaaceeeeiiiidnooooo_ouuuuyty";

// The text in printable ASCII: UTF-8 sequences decoded where they are whole,
// accented Latin-1 letters replaced by their base letter, anything else by
// "_" (one for each character, or each byte that is not part of one).
std::string ascii_form(std::string_view text) {
  std::string out;
  std::size_t k = 0;
  while (k < text.size()) {
    const auto c = static_cast<unsigned char>(text[k]);
    if (c >= 0x20 && c <= 0x7E) {
      out += static_cast<char>(c);
      ++k;
      continue;
    }
    std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 1;
    std::uint32_t code = length == 2 ? c & 0x1Fu : length == 3 ? c & 0x0Fu : c & 0x07u;
    for (std::size_t m = 1; m < length; ++m) {
      const auto next = k + m < text.size() ? static_cast<unsigned char>(text[k + m]) : 0;
      if ((next & 0xC0u) != 0x80u) {
        length = 1;  // not a whole sequence: this byte alone
        break;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    out += length == 2 && code >= 0xC0 && code <= 0xFF ? kLatin1Letters[code - 0xC0] : '_';
    k += length;
  }
  return out;
}

// A long name made to fit 8 characters while it stays recognisable: the
// words (runs between blanks and punctuation; "_" counts as a letter, as it
// stands for one) are joined without their separators; when that is still too long and the last word is a short code
// such as a number or a site letter ("Station A0", "Narrabri 2"), the code is
// kept whole and the words before it are cut ("StatioA0", "Narrabr2");
// otherwise the joined words are cut to 8.
std::string compact_form(const std::string& ascii) {
  std::vector<std::string> words(1);
  for (const char c : ascii) {
    const bool letter =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (letter) {
      words.back() += c;
    } else if (!words.back().empty()) {
      words.emplace_back();
    }
  }
  if (words.back().empty()) words.pop_back();
  std::string joined;
  for (const std::string& word : words) joined += word;
  if (joined.empty()) return ascii.substr(0, 8);
  if (joined.size() <= 8) return joined;
  const std::string& last = words.back();
  if (words.size() >= 2 && last.size() <= 4) {
    return joined.substr(0, 8 - last.size()) + last;
  }
  return joined.substr(0, 8);
}

}  // namespace

std::vector<records::Name> job_names(const std::vector<std::string>& full_names) {
  std::vector<records::Name> names(full_names.size(), records::kBlankName);
  std::vector<bool> done(full_names.size(), false);
  std::set<records::Name> taken;
  // Names that fit are kept first, so that a long name shortened later never
  // takes the place of a name that was given short.
  for (std::size_t k = 0; k < full_names.size(); ++k) {
    const std::string& full = full_names[k];
    if (full.empty() || full.size() > 8 || !printable_ascii(full)) continue;
    const records::Name name = records::make_name(full);
    if (taken.insert(name).second) {
      names[k] = name;
      done[k] = true;
    }
  }
  for (std::size_t k = 0; k < full_names.size(); ++k) {
    if (done[k]) continue;
    const std::string ascii = compact_form(ascii_form(full_names[k]));
    records::Name name = records::make_name(ascii);
    for (std::int64_t suffix = 1; !taken.insert(name).second; ++suffix) {
      const std::string tail = "~" + records::decimal(suffix);
      std::string base = ascii.substr(0, 8 - tail.size());
      base.erase(base.find_last_not_of(' ') + 1);
      name = records::make_name(base + tail);
    }
    names[k] = name;
  }
  return names;
}

}  // namespace metclust::import
