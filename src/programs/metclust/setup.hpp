// SETUP: the run header, the run summary, the work-space check and the
// hand-over to the year-sequential analysis.
#pragma once

#include <cstdint>
#include <optional>

#include "metclust/work_space.hpp"
#include "records/channel_table.hpp"

namespace metclust::control {

// What SETUP leaves its caller to act on: the run header's MAXL and whether
// the work arrays were too small for it, so that the analysis did not run.
struct SetupOutcome {
  std::int32_t MAXL = 0;
  bool refused = false;
};

// Reads the run header, writes the run summary and the dimension report and,
// when the work arrays hold the job, runs the analysis. A strategy given
// beforehand is taken without asking for it at the console.
SetupOutcome SETUP(records::ChannelTable& channels, const WorkArrays& work,
                   std::optional<std::int32_t> strategy = std::nullopt);

}  // namespace metclust::control
