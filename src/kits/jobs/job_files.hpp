// A finished job as the companion programs that draw, export or compare its
// trees read it: the .PCL plot data and the .CLS fusion records, checked
// against each other, as one jobs::Year per year group.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/years.hpp"

namespace metclust::jobs {

enum class Cluster { IfPresent, Required };

struct JobFiles {
  std::vector<Year> years;  // at their fusion levels when .CLS was read
  std::optional<std::int32_t> strategy;  // the strategy number, when .CLS was read
  std::string title;  // of the plot data, or of the .CLS when that has none
};

// Reads JOB.PCL and JOB.CLS. A missing .CLS is a FileError when `cluster`
// is Required, and `why` then says what it is needed for. A fault in either
// file is a records::LocatedError naming file, line and column.
JobFiles read_job(const std::string& job, Cluster cluster, std::string_view why);

}  // namespace metclust::jobs
