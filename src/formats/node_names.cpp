#include "formats/node_names.hpp"

#include "formats/job_results.hpp"

namespace metclust::formats {

// What the readers of finished jobs take is what a run writes.
static_assert(kMaxPlotLocations == kMaxYearLocations);

namespace {

std::array<char, 3> three_digits(std::int32_t n, char lead) {
  if (n < 0 || n > kLargestNodeNumber) return {'*', '*', '*'};
  const std::int32_t h = n / 100;
  const std::int32_t t = (n - 100 * h) / 10;
  const std::int32_t u = n % 10;
  return {h == 0 ? lead : static_cast<char>('0' + h),
          h == 0 && t == 0 ? lead : static_cast<char>('0' + t), static_cast<char>('0' + u)};
}

}  // namespace

std::array<char, 3> NUM3(std::int32_t n) { return three_digits(n, ' '); }

records::Name GRPNAM(std::int32_t n) {
  const std::array<char, 3> digits = three_digits(n, '_');
  return {'L', 'G', 'p', digits[0], digits[1], digits[2], ' ', ' '};
}

}  // namespace metclust::formats
