// The one rule by which every companion program names a location.
//
// A location's name is the 8-character name field that the .EMA matrix row
// gives it and the .PCL node listing repeats. The trailing blanks pad the
// field and are dropped; leading blanks are part of the name and stay, as
// metclust's listing shows the whole field (" ROW" and "ROW" are two
// names). Bytes that are not UTF-8, and control characters, become
// U+FFFD (text::valid_utf8), since everything the programs write is UTF-8.
// A field of blanks gives no name; such a location, and the one location of
// a year that the plot data lists no name for, is shown as "(k)", k its
// number in the year. Tables, trees, pictures and pages all show this name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace metclust::jobs {

// The field as text: trailing blanks removed, UTF-8 made valid.
std::string name_text(std::string_view field);

// Whether the field gives a name at all: not when it holds blanks only.
bool has_name(std::string_view field);

// The name shown for location `number` whose name field is `field`.
std::string location_name(std::string_view field, std::int32_t number);

}  // namespace metclust::jobs
