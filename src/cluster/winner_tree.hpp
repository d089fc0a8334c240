// The winner tree of the fast pair search: one leaf per column K = 0..n of
// the packed matrix, each inner node the winner of its two children, the
// root the column whose minimum the full scan of FNDMIN would take.
//
// A leaf is one 16-byte unsigned number, level * 2^64 + tie, so that a match
// is one comparison and the smaller number wins. `level` orders the minima
// as numbers (a zero and a minus zero alike). A column whose minimum is known
// has tie = ~(row * 2^32 + K): of equal minima the larger row wins, then the
// larger column; a column without a pair that can be taken has row 0 and the
// level of +infinity. A column of which only a bound at or below its values
// is known has tie = K, below every tie of a known minimum, so that it wins
// over every known minimum that is not below the bound.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace metclust::cluster {

class WinnerTree {
 public:
  // Leaves for columns 0..n, all of them losing to every column set later.
  explicit WinnerTree(std::int32_t n);

  // The leaf of column K: its minimum is known and held by row (0 when no
  // pair can be taken, min then being +infinity).
  void set_known(std::int32_t K, std::int32_t row, double min) {
    const auto key = (static_cast<std::uint64_t>(row) << 32) | static_cast<std::uint32_t>(K);
    leaf(K) = node_of(level_of(min), ~key);
  }
  // The leaf of column K: only a bound at or below its values is known.
  void set_bound(std::int32_t K, double bound) {
    leaf(K) = node_of(level_of(bound), static_cast<std::uint64_t>(K));
  }

  // Every inner node from the leaves.
  void build();

  // Plays column K's leaf up towards the root against the sibling at each
  // level. The order is total (no two columns share a tie), so the side does
  // not matter. Once a node comes out as it was, the nodes above it stay as
  // they are: they depend on K's leaf only through it.
  void replay(std::int32_t K) {
    std::size_t node = static_cast<std::size_t>(leaves_) + static_cast<std::size_t>(K);
    Node w = tree_[node];
    while (node > 1) {
      w = std::min(w, tree_[node ^ 1]);
      node /= 2;
      Node& parent = tree_[node];
      if (parent == w) return;
      parent = w;
    }
  }

  // The column on top; `bound` when only a bound of it is known, else `row`
  // holds its minimum (0: no column has a pair that can be taken).
  struct Top {
    bool bound;
    std::int32_t row, column;
  };
  Top top() const {
    const auto tie = static_cast<std::uint64_t>(tree_[1]);
    if (tie >> 32 == 0) return {true, 0, static_cast<std::int32_t>(tie)};
    const std::uint64_t key = ~tie;
    return {false, static_cast<std::int32_t>(key >> 32), static_cast<std::int32_t>(key & 0xffffffff)};
  }

 private:
  __extension__ using Node = unsigned __int128;
  static Node node_of(std::uint64_t level, std::uint64_t tie) {
    return (static_cast<Node>(level) << 64) | tie;
  }
  // The minimum as an unsigned word that orders as the numbers do. Adding
  // zero makes a minus zero a zero; every other value stays itself.
  static std::uint64_t level_of(double min) {
    const auto bits = std::bit_cast<std::uint64_t>(min + 0.0);
    return bits >> 63 != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
  }
  Node& leaf(std::int32_t K) {
    return tree_[static_cast<std::size_t>(leaves_) + static_cast<std::size_t>(K)];
  }

  std::int32_t leaves_;     // leaf of column K: node leaves_ + K
  std::vector<Node> tree_;  // node 1 is the root
};

}  // namespace metclust::cluster
