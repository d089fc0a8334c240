// How the companion programs name the files they write for each year group
// of a job.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace metclust::tools {

// One stem per year group, in file order: "JOB-<year>", and for a year that
// comes again "JOB-<year>-2", "JOB-<year>-3", ...
std::vector<std::string> year_stems(std::string_view job, std::span<const std::int32_t> years);

}  // namespace metclust::tools
