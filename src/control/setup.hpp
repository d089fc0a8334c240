// SETUP: the run header, the run summary, the work-space check and the
// hand-over to the year-sequential analysis.
#pragma once

#include "control/work_space.hpp"
#include "records/channel_table.hpp"

namespace metclust::control {

// Report number of the refusal of a run header whose MAXL is below 1.
inline constexpr int kLocationsBelowOne = 90;

void SETUP(records::ChannelTable& channels, const WorkArrays& work);

}  // namespace metclust::control
