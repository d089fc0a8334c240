// The dendrogram writer: a year's plot group on .PCL, one header record and
// for every fusion a five-point bracket with the node listing alongside.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "records/record_writer.hpp"
#include "records/text.hpp"

namespace metclust::cluster {

// NAMES (1..NL) and HIST (2*(NL-1)) are read; XNODE, YNODE, NODNAM, NODLAB
// (2*MAXL-1 node slots each) and POSLAB, POSSIZ, ORDER (NL each) are work
// space filled here. TITLE is the 50-character job title. NL must not exceed
// MAXL; segments too short for their use throw std::out_of_range before
// anything is written.
void DENDRO(std::span<float> XNODE, std::span<float> YNODE,
            std::span<const records::Name> NAMES, std::span<records::Name> NODNAM,
            std::span<std::int32_t> POSLAB, std::span<std::int32_t> NODLAB,
            std::span<std::int32_t> POSSIZ, std::span<std::int32_t> ORDER,
            std::span<const std::int32_t> HIST, std::string_view TITLE, std::int32_t MAXL,
            std::int32_t NL, std::int32_t IYEAR, records::RecordWriter& out);

}  // namespace metclust::cluster
