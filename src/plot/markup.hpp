// Small helpers for writing SVG and HTML text: escaped character data and
// numbers rendered without any locale.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace metclust::plot {

// `text` as XML character data or attribute value: the five markup
// characters escaped, and every byte that is not part of well-formed UTF-8,
// or is a control character, replaced by U+FFFD, so that names from any
// source keep the document well-formed.
std::string escaped(std::string_view text);

// The parts joined into one text.
std::string cat(std::initializer_list<std::string_view> parts);

// A file name as one segment of a relative URL: every byte other than
// letters, digits and "-._~" percent-encoded.
std::string url_segment(std::string_view name);

std::string integer_text(std::int64_t value);

// Fixed notation with `precision` digits after the point; "-0.00" is
// written as "0.00".
std::string fixed_text(double value, int precision);

// The shortest text that reads back as `value`.
std::string shortest_text(double value);

}  // namespace metclust::plot
