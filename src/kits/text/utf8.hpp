// Texts from a job's files (location names, titles) are bytes of whatever
// code page the trial data came in; what the companion programs write is
// UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace metclust::text {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when it starts with none (also for U+FFFE and U+FFFF, which XML refuses).
std::size_t utf8_sequence_length(std::string_view text);

// `text` with every byte that is not part of well-formed UTF-8, and every
// control character, replaced by U+FFFD.
std::string valid_utf8(std::string_view text);

}  // namespace metclust::text
