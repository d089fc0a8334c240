// The values of a write statement and the targets of a fixed-column read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

namespace metclust::records {

// A value written by a field item: an integer (I) held in 4 bytes, or in 8
// for counts derived from the run header, which may exceed the 4-byte range
// and then show as asterisks; a 4-byte or 8-byte real (F, E); or a text of
// fixed length with its trailing blanks (A, Aw).
using Value = std::variant<std::int32_t, std::int64_t, float, double, std::string_view>;

// A target filled by a fixed-column read: an integer, a real of either
// precision, or a text of fixed length (the span's size is its length). A
// numeric field of blanks reads as zero; the optional targets tell it apart
// and are left empty.
using Target = std::variant<std::int32_t*, float*, double*, std::span<char>,
                            std::optional<std::int32_t>*, std::optional<float>*,
                            std::optional<double>*>;

}  // namespace metclust::records
