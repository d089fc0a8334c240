// Bytes of a file shown inside a message: what a terminal would act on, and
// what is not text, escaped; text as it is.
#include "records/shown_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace metclust::records {
namespace {

TEST(ShownText, EscapesControlsAndWhatIsNotUtf8) {
  struct Case {
    std::string bytes;
    std::string shown;
  };
  const Case cases[] = {
      {"Wageningen", "Wageningen"},
      {"Zürich Œ 東京 \xF0\x9F\x8C\xBE", "Zürich Œ 東京 \xF0\x9F\x8C\xBE"},
      {"C:\\jobs\\x", "C:\\jobs\\x"},  // a backslash is kept
      // A title sequence, a screen clear, a bell.
      {"\x1B]0;owned\x07", "\\x1B]0;owned\\x07"},
      {"\x1B[2J\x1B[H", "\\x1B[2J\\x1B[H"},
      {"a\tb\r\nc\x7F", "a\\x09b\\x0D\\x0Ac\\x7F"},
      // A NUL no longer ends the message.
      {std::string("ab\0cd", 5), "ab\\x00cd"},
      // UTF-16: every other byte a NUL.
      {std::string("\xFF\xFEy\0e\0", 6), "\\xFF\\xFEy\\x00e\\x00"},
      // C1 controls, as UTF-8 (CSI U+009B) and as bare bytes.
      {"x\xC2\x9B" "2Jy", "x\\xC2\\x9B" "2Jy"},
      {"\xC2\x85\xC2\xA0", "\\xC2\\x85\xC2\xA0"},  // NEL escaped, no-break space kept
      {"\x9B" "2J", "\\x9B" "2J"},
      // Latin-1, a sequence cut short, an overlong form, a surrogate.
      {"Caf\xE9", "Caf\\xE9"},
      {"ab\xE6\x9D", "ab\\xE6\\x9D"},
      {"\xC0\xAF", "\\xC0\\xAF"},
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
  };
  for (const Case& c : cases) {
    const std::string shown = shown_text(c.bytes);
    EXPECT_EQ(shown, c.shown) << c.shown;
    // Showing it again changes nothing.
    EXPECT_EQ(shown_text(shown), shown) << c.shown;
  }
}

}  // namespace
}  // namespace metclust::records
