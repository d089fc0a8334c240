// Rendering of single fields into a record buffer: Iw, Fw.d, Ew.d, A and Aw.
// Each returns false when the number does not fit its field; the field then
// holds w asterisks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace metclust::records {

// Append exactly `width` characters to `out`.
bool render_int(std::string& out, std::int64_t value, int width);
bool render_fixed(std::string& out, double value, int width, int digits);
bool render_fixed(std::string& out, float value, int width, int digits);
bool render_exp(std::string& out, double value, int width, int digits);
bool render_exp(std::string& out, float value, int width, int digits);
// Aw: right-justified when w exceeds the text's length, the leftmost w
// characters when it is shorter.
void render_text(std::string& out, std::string_view text, int width);

}  // namespace metclust::records
