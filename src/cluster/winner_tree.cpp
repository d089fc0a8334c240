#include "cluster/winner_tree.hpp"

#include <stdexcept>

namespace metclust::cluster {
namespace {

// Leaves for columns 0..n: the least power of two above n. The tie of a
// column needs its index below 2^32; the tree's size keeps it far below.
std::int32_t leaves_for(std::int32_t n) {
  if (n >= (std::int32_t{1} << 29)) throw std::length_error("too many locations for the search");
  std::int32_t leaves = 1;
  while (leaves <= n) leaves *= 2;
  return leaves;
}

}  // namespace

WinnerTree::WinnerTree(std::int32_t n)
    : leaves_(leaves_for(n < 0 ? 0 : n)), tree_(2 * static_cast<std::size_t>(leaves_), ~Node{0}) {}

void WinnerTree::build() {
  for (std::size_t node = static_cast<std::size_t>(leaves_) - 1; node >= 1; --node) {
    tree_[node] = std::min(tree_[2 * node], tree_[2 * node + 1]);
  }
}

}  // namespace metclust::cluster
