// Replaying a fusion history to put the locations in dendrogram order.
#pragma once

#include <cstdint>
#include <span>

namespace metclust::cluster {

// Moves entries OFF+1..OFF+CNT of list(1..N) to its end, in their order; the
// entries after them move forward (a left rotation of OFF+1..N by CNT).
void MOVEND(std::span<std::int32_t> list, std::int32_t OFF, std::int32_t CNT, std::int32_t N);

// One replay step among M current groups: the groups labelled LI and LJ
// leave their positions and the group NEW takes the last one; in ORDER(1..N)
// the members of the group that stood further back, then those of the other,
// move to the end.
void MERGE(std::span<std::int32_t> POSLAB, std::span<std::int32_t> POSSIZ,
           std::span<std::int32_t> ORDER, std::int32_t LI, std::int32_t LJ, std::int32_t M,
           std::int32_t NEW, std::int32_t N);

// Starts from N single locations and replays the fusions 1..N-NSTOP of HIST,
// leaving NSTOP groups: group p has the label POSLAB(p), the size POSSIZ(p)
// and its members in ORDER, the groups one after the other.
void REPLAY(std::span<std::int32_t> POSLAB, std::span<std::int32_t> POSSIZ,
            std::span<std::int32_t> ORDER, std::span<const std::int32_t> HIST, std::int32_t N,
            std::int32_t NSTOP);

}  // namespace metclust::cluster
