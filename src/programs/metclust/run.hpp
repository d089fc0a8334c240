// One run of a job, from its file names to the stop. The dialogue run asks
// for the names and the strategy at the console; a run started from the
// command line is given both beforehand. Everything after that is the same
// code for both.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "records/channel_table.hpp"

namespace metclust::control {

// Holds the dialogue, connects the five files, runs SETUP and stops; returns
// the exit status (0 after a normal stop, the report's status after a severe
// report).
int run_job(records::ChannelTable& channels);

// The answers of a run known before it starts: the names of its five files
// in channel order 20..24, used as given, and the strategy number.
struct GivenJob {
  std::array<std::string, 5> names;
  std::int32_t strategy = 1;
  // The folder of the outputs, made (with the folders above it) when
  // missing; a folder that cannot be made ends the run with its report.
  std::optional<std::string> output_folder;
};

// The dialogue run with these answers, without asking for them: the same
// records in the same files. A run header that the work arrays cannot hold
// ends the run with report 93 after the dimension report (the dialogue run
// stops normally there, as it always has).
// Returns the exit status.
int run_given_job(records::ChannelTable& channels, const GivenJob& job);

}  // namespace metclust::control
