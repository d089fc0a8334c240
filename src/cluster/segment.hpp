// 1-based access to the segments the engine is lent (G, LABEL, HIST, ...),
// checked against the segment's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace metclust::cluster {

template <class T>
T& at1(std::span<T> segment, std::int64_t k) {
  if (k < 1 || static_cast<std::uint64_t>(k) > segment.size()) {
    throw std::out_of_range("index outside its segment");
  }
  return segment[static_cast<std::size_t>(k - 1)];
}

// Throws unless the segment holds at least `count` elements.
template <class T>
void require_length(std::span<T> segment, std::int64_t count, const char* what) {
  if (count > 0 && static_cast<std::uint64_t>(count) > segment.size()) throw std::out_of_range(what);
}

}  // namespace metclust::cluster
