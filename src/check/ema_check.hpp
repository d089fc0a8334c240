// Reads an .EMA file with metclust's own readers, record by record as a run
// reads it, and reports what would end a run (errors: where and why) and
// what reads but is likely not meant (warnings).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "check/diagnostic.hpp"

namespace metclust::check {

struct EmaSummary {
  std::int64_t years = 0;  // year groups read whole
};

EmaSummary check_ema(std::string_view bytes, const std::string& file, Diagnostics& out);

}  // namespace metclust::check
