// The job dialogue: default naming from a job name, or the five names typed
// one by one.
#pragma once

#include <array>

#include "records/channel_table.hpp"

namespace metclust::control {

using FileName = std::array<char, 50>;

// The names of a job's five files, in channel order 20..24.
struct FileSet {
  std::array<FileName, 5> names;
};

FileSet job_dialogue(records::ChannelTable& channels);

// The five default names: the job name without its trailing blanks followed
// by each extension, cut to 50 characters and blank-filled.
FileSet default_names(const FileName& job);

}  // namespace metclust::control
