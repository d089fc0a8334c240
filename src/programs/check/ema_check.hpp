// Reads an .EMA file with metclust's own readers, record by record as a run
// reads it, and reports what would end a run (errors: where and why) and
// what reads but is likely not meant (warnings).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "check/diagnostic.hpp"

namespace metclust::check {

struct EmaSummary {
  std::int64_t years = 0;  // year groups read whole
  // The exit status of a metclust run of the file for each strategy answer
  // 1 to 8 (any other answer clusters as 1): 0 for a normal end or a run
  // refused for lack of work space, else the number of the report that ends
  // it. The job's .NAQ and the console are taken to be in order.
  std::array<int, 8> status{};
  bool refused = false;  // the work space is too small: nothing is clustered
};

EmaSummary check_ema(std::string_view bytes, const std::string& file, Diagnostics& out);

}  // namespace metclust::check
