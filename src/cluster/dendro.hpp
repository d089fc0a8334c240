// The dendrogram of a year: its node table (abscissa, ordinate, number and
// name of every node), computed from the fusion history, and the nodes each
// fusion joins there; writing them is left to the caller.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "records/text.hpp"

namespace metclust::cluster {

// NAMES (1..NL) and HIST (2*(NL-1)) are read; XNODE, YNODE, NODNAM, NODLAB
// (2*MAXL-1 node slots each) and POSLAB, POSSIZ, ORDER (NL each) are work
// space filled here. Every slot of the node table is cleared first; for NL
// of 2 or more, slots 1..NL then hold the locations in dendrogram order, with
// their names, and slots NL+1..2NL-1 the groups in fusion order, a level
// apart; naming the groups is left to the caller. NL must not
// exceed MAXL; segments too short for their use throw std::out_of_range
// before anything is changed.
void DENDRO(std::span<float> XNODE, std::span<float> YNODE,
            std::span<const records::Name> NAMES, std::span<records::Name> NODNAM,
            std::span<std::int32_t> POSLAB, std::span<std::int32_t> NODLAB,
            std::span<std::int32_t> POSSIZ, std::span<std::int32_t> ORDER,
            std::span<const std::int32_t> HIST, std::int32_t MAXL, std::int32_t NL);

// The node table slots of the two groups fusion s (1..NL-1) joins, in the
// order HIST gives them, over the table DENDRO filled; the group the fusion
// makes stands in slot NL + s.
std::array<std::int32_t, 2> JOINED(std::span<const std::int32_t> NODLAB,
                                   std::span<const std::int32_t> HIST, std::int32_t NL,
                                   std::int32_t s);

}  // namespace metclust::cluster
