// Small helpers for writing SVG and HTML text: escaped character data and
// numbers rendered without any locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace metclust::text {

// `text` as XML character data or attribute value: the five markup
// characters escaped, and every byte that is not part of well-formed UTF-8,
// or is a control character, replaced by U+FFFD, so that names from any
// source keep the document well-formed.
std::string escaped(std::string_view text);

// A file name as one segment of a relative URL: every byte other than
// letters, digits and "-._~" percent-encoded.
std::string url_segment(std::string_view name);

}  // namespace metclust::text
