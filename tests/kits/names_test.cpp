// One name typed two ways is one name: Unicode NFC, blanks at either end
// left out; everything else kept.
#include "text/names.hpp"

#include <gtest/gtest.h>

#include <string>

namespace metclust::text {
namespace {

TEST(NormalizedName, OneNameTypedTwoWays) {
  struct Case {
    const char* what;
    std::string typed;
    std::string name;
  };
  const Case cases[] = {
      {"decomposed é (NFD) composes", "Cafe\xCC\x81", "Caf\xC3\xA9"},
      {"composed é stays", "Caf\xC3\xA9", "Caf\xC3\xA9"},
      {"Å as A and a combining ring", "A\xCC\x8A" "rhus", "\xC3\x85rhus"},
      {"Hangul jamo compose", "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB", "\xED\x95\x9C"},
      {"a trailing no-break space", "Caf\xC3\xA9\xC2\xA0", "Caf\xC3\xA9"},
      {"spaces, tabs and line ends", " \t Ames\r\n", "Ames"},
      {"narrow no-break and ideographic spaces", "\xE3\x80\x80Tokyo\xE2\x80\xAF", "Tokyo"},
      {"en quad, em space, line separator, NEL", "\xE2\x80\x80X\xE2\x80\x83\xE2\x80\xA8\xC2\x85", "X"},
      {"blanks inside are kept", "New\xC2\xA0York  City", "New\xC2\xA0York  City"},
      {"a zero-width space is no blank", "\xE2\x80\x8BZ", "\xE2\x80\x8BZ"},
      {"compatibility forms are kept", "\xEF\xAC\x81n \xEF\xBC\xA1", "\xEF\xAC\x81n \xEF\xBC\xA1"},
      {"letter case is kept", "AMES ames", "AMES ames"},
      {"only blanks", "\xC2\xA0 \t", ""},
      {"nothing", "", ""},
      {"not UTF-8: kept byte for byte, spaces trimmed", " Caf\xE9\xA0 ", "Caf\xE9\xA0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(normalized_name(c.typed), c.name) << c.what;
    EXPECT_EQ(normalized_name(c.name), c.name) << c.what << ", again";
  }
}

}  // namespace
}  // namespace metclust::text
