// SETUP: the run header, the run summary, the work-space check and the
// hand-over to the year-sequential analysis.
#pragma once

#include "control/work_space.hpp"
#include "records/channel_table.hpp"

namespace metclust::control {

void SETUP(records::ChannelTable& channels, const WorkArrays& work);

}  // namespace metclust::control
