// Bytes from a file, shown inside a message on a terminal. A CSV or .EMA
// file may hold any bytes; echoed as they are, control bytes could retitle
// or clear the terminal, and a NUL would end the message early.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace metclust::records {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when it starts with none (also for U+FFFE and U+FFFF, which XML refuses).
std::size_t utf8_sequence_length(std::string_view text);

// `bytes` as a message shows them: well-formed UTF-8 as it is, but every
// control character (bytes 0x00 to 0x1F and 0x7F, and U+0080 to U+009F),
// and every byte that is not part of well-formed UTF-8, as \xHH with two
// capital hexadecimal digits per byte: ESC as \x1B, a NUL as \x00, the C1
// control U+009B as \xC2\x9B. A backslash stays as it is. The result is
// valid UTF-8 without control characters, so showing it again changes
// nothing.
std::string shown_text(std::string_view bytes);

}  // namespace metclust::records
