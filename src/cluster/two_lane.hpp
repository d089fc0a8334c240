// Two 8-byte reals worked on side by side (a vector type of GCC and Clang,
// the compilers the program is built with; on x86-64 one SSE2 register):
// each operation gives in each lane the bits that the same operation on the
// lane's values alone gives, so the fast pair search makes the values of two
// K at once. Beside each two-lane function stands its one-lane form, so that
// code written once over the lane type takes either.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace metclust::cluster {

using TwoReals = double __attribute__((vector_size(16)));
// Lane masks as comparisons give them (all bits set where true), and the
// bits of two reals.
using TwoWords = std::int64_t __attribute__((vector_size(16)));

inline TwoReals splat(double x) { return TwoReals{x, x}; }

// The two reals at p and p + 1.
inline TwoReals load_two(const double* p) {
  TwoReals v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The smaller of v and floor, lane by lane; a v that is not a number leaves
// floor. Of a zero and a minus zero either may come out: the values found
// this way serve only as the level a second pass looks for.
inline TwoReals lower(TwoReals v, TwoReals floor) { return v < floor ? v : floor; }
inline double lower(double v, double floor) { return v < floor ? v : floor; }

// lower() of the two lanes.
inline double lowest(TwoReals floor) { return lower(floor[1], floor[0]); }

inline bool any_lane(TwoWords lanes) { return (lanes[0] | lanes[1]) != 0; }

// |x|: the sign bit cleared, in each lane as std::fabs clears it.
inline double magnitude(double x) { return std::fabs(x); }
inline TwoReals magnitude(TwoReals x) {
  constexpr TwoWords kMagnitude = {0x7fffffffffffffff, 0x7fffffffffffffff};
  return std::bit_cast<TwoReals>(std::bit_cast<TwoWords>(x) & kMagnitude);
}

}  // namespace metclust::cluster
