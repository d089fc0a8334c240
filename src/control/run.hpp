// One run of a job, from the first prompt to the stop.
#pragma once

#include "records/channel_table.hpp"

namespace metclust::control {

// Holds the dialogue, connects the five files, runs SETUP and stops; returns
// the exit status (0 after a normal stop, the report's status after a severe
// report).
int run_job(records::ChannelTable& channels);

}  // namespace metclust::control
