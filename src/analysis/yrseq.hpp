// The year-sequential analysis: options, strategy, and the loop over the year
// groups of the .EMA file.
#pragma once

#include <cstdint>
#include <optional>

#include "analysis/work_segments.hpp"
#include "formats/scl.hpp"
#include "records/channel_table.hpp"

namespace metclust::analysis {

// Reads the title and option records, asks for the strategy, writes the start
// records and then clusters every year group until the .EMA file ends where a
// year record would begin. The segments must hold what the storage plan gives
// them for header.MAXL >= 1. A strategy given beforehand (the command line)
// is taken as the answer, without the question and its menu.
void YRSEQ(records::ChannelTable& channels, const WorkSegments& work, const formats::RunSummary& header,
           std::optional<std::int32_t> strategy = std::nullopt);

}  // namespace metclust::analysis
