// The coefficients of a strategy that weighs by the size of K (sum of
// squares), by group size: at each fusion they are made once for each size
// that an active group has, not once for each K. Keeps the group size of
// every index and how many active groups have each size.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace metclust::cluster {

class SizeCoefficients {
 public:
  // For n locations: group sizes lie in 1..n.
  explicit SizeCoefficients(std::int32_t n);

  // Takes the group sizes G(1..n) at the start of a year.
  void start(std::span<const std::int32_t> G);

  // The group size of index k as last taken or fused.
  std::int32_t size(std::int32_t k) const { return size_[static_cast<std::size_t>(k)]; }

  // Makes the coefficients of the fusion of I and J, whose sizes are gi and
  // gj, for every size an active group has, with b * D(I,J) formed, and
  // returns the table: ai, aj, b * D(I,J), g, four to a size, at 4 * size.
  const double* make(std::int32_t istrat, double beta, std::int32_t I, std::int32_t J,
                     double gi, double gj, double dij);

  // After the fusion of I and J: group I has both sizes, J none.
  void fuse(std::int32_t I, std::int32_t J);

 private:
  void count(std::int32_t size, std::int32_t change);

  std::int32_t n_;
  std::vector<std::int32_t> size_;            // by index
  std::vector<std::int32_t> groups_of_size_;  // by size: how many active groups have it
  std::vector<std::int32_t> sizes_;           // the sizes some active group has
  std::vector<std::int32_t> size_place_;      // by size: its place in sizes_
  std::vector<double> by_size_;
};

}  // namespace metclust::cluster
