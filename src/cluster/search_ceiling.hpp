// The ceiling of the closest-pair search, shared by the full scan of FNDMIN
// and the fast search: the 4-byte real nearest to 1e20, widened. A pair
// whose proximity is above it (or is not a number) is never chosen.
#pragma once

namespace metclust::cluster {

inline constexpr double kCeiling = static_cast<double>(static_cast<float>(1e20));
static_assert(kCeiling == 100000002004087734272.0);

}  // namespace metclust::cluster
