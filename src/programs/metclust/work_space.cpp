#include "metclust/work_space.hpp"

namespace metclust::control {
namespace {

std::array<double, kCapacityDZ> DZ;
std::array<float, kCapacityZ> Z;
std::array<std::int32_t, kCapacityMZ> MZ;
std::array<records::Name, kCapacityAZ> AZ;

}  // namespace

WorkArrays work_arrays() { return {DZ, Z, MZ, AZ}; }

}  // namespace metclust::control
