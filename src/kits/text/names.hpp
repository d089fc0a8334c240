// Names typed by people (locations, genotypes) compared as people read
// them: the same letters typed two ways are one name.
#pragma once

#include <string>
#include <string_view>

namespace metclust::text {

// `text` as one name: Unicode normalization form C (é typed as e and a
// combining acute accent is the single letter é), without the blanks at
// either end, where a blank is any character of Unicode's White_Space
// property (space, tab, no-break space U+00A0, narrow no-break space
// U+202F, ideographic space U+3000, line ends and the other spaces of
// U+2000 to U+200A). Blanks inside the name, letter case and compatibility
// forms (the ligature ﬁ, full-width letters) are kept as they are. Text that
// is not well-formed UTF-8 (a file in another code page) is kept byte for
// byte, with only spaces and tabs trimmed.
//
// Linux builds use utf8proc; Windows builds without it use the system's own
// NormalizeString and character types.
std::string normalized_name(std::string_view text);

}  // namespace metclust::text
