#include "tools/year_names.hpp"

#include <map>

#include "tools/command_line.hpp"

namespace metclust::tools {

std::vector<std::string> year_stems(std::string_view job, std::span<const std::int32_t> years) {
  std::map<std::int32_t, std::int64_t> seen;
  std::vector<std::string> stems;
  stems.reserve(years.size());
  for (const std::int32_t year : years) {
    const std::int64_t count = ++seen[year];
    std::string stem(job);
    stem += '-';
    stem += integer_text(year);
    if (count > 1) {
      stem += '-';
      stem += integer_text(count);
    }
    stems.push_back(std::move(stem));
  }
  return stems;
}

}  // namespace metclust::tools
