#include "cluster/replay.hpp"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

#include "cluster/segment.hpp"

namespace metclust::cluster {

void MOVEND(std::span<std::int32_t> list, std::int32_t OFF, std::int32_t CNT, std::int32_t N) {
  if (OFF < 0 || CNT < 0 || static_cast<std::int64_t>(OFF) + CNT > N) {
    throw std::out_of_range("entries to move outside the list");
  }
  require_length(list, N, "list shorter than its entries");
  const auto first = list.begin() + OFF;
  std::rotate(first, first + CNT, list.begin() + N);
}

namespace {

// Position 1..M of the group labelled `label`.
std::int32_t position_of(std::span<const std::int32_t> poslab, std::int32_t label,
                         std::int32_t m) {
  for (std::int32_t p = 1; p <= m; ++p) {
    if (at1(poslab, p) == label) return p;
  }
  throw std::invalid_argument("fusion history names a group that does not exist");
}

// Takes position p out of list(1..m); the entries after it move forward.
void remove_position(std::span<std::int32_t> list, std::int32_t p, std::int32_t m) {
  require_length(list, m, "position list shorter than its groups");
  std::copy(list.begin() + p, list.begin() + m, list.begin() + (p - 1));
}

}  // namespace

void MERGE(std::span<std::int32_t> POSLAB, std::span<std::int32_t> POSSIZ,
           std::span<std::int32_t> ORDER, std::int32_t LI, std::int32_t LJ, std::int32_t M,
           std::int32_t NEW, std::int32_t N) {
  const std::int32_t pi = position_of(POSLAB, LI, M);
  const std::int32_t pj = position_of(POSLAB, LJ, M);
  if (pi == pj) throw std::invalid_argument("fusion history joins a group with itself");
  const std::int32_t hi = std::max(pi, pj);
  const std::int32_t lo = std::min(pi, pj);

  std::int64_t shi = 0;
  std::int64_t slo = 0;
  for (std::int32_t p = 1; p < hi; ++p) {
    shi += at1(POSSIZ, p);
    if (p < lo) slo += at1(POSSIZ, p);
  }
  const std::int32_t nhi = at1(POSSIZ, hi);
  const std::int32_t nlo = at1(POSSIZ, lo);
  if (shi + nhi > N || nhi < 0 || nlo < 0) {
    throw std::invalid_argument("group sizes exceed the locations");
  }

  remove_position(POSLAB, hi, M);
  remove_position(POSSIZ, hi, M);
  remove_position(POSLAB, lo, M);
  remove_position(POSSIZ, lo, M);
  at1(POSLAB, M - 1) = NEW;
  at1(POSSIZ, M - 1) = nlo + nhi;

  MOVEND(ORDER, static_cast<std::int32_t>(shi), nhi, N);
  MOVEND(ORDER, static_cast<std::int32_t>(slo), nlo, N);
}

void REPLAY(std::span<std::int32_t> POSLAB, std::span<std::int32_t> POSSIZ,
            std::span<std::int32_t> ORDER, std::span<const std::int32_t> HIST, std::int32_t N,
            std::int32_t NSTOP) {
  for (std::int32_t k = 1; k <= N; ++k) {
    at1(POSLAB, k) = k;
    at1(ORDER, k) = k;
    at1(POSSIZ, k) = 1;
  }
  for (std::int32_t s = 1; s <= N - NSTOP; ++s) {
    const std::int64_t h = 2 * (static_cast<std::int64_t>(s) - 1);
    MERGE(POSLAB, POSSIZ, ORDER, at1(HIST, h + 1), at1(HIST, h + 2), N - s + 1, N + s, N);
  }
}

}  // namespace metclust::cluster
