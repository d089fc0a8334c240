// The memory the agglomeration loop takes beside the matrix it is handed:
// a few arrays by location, whatever the strategy and the search, never a
// second matrix. Counted by replacing the global allocation functions of
// this test program; they count only while a test asks them to.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "cluster/agglom.hpp"
#include "records/packed.hpp"

namespace {

// Each block carries its size in front, so that the count can go down.
constexpr std::size_t kHeader = 16;
bool counting = false;
std::size_t live = 0;
std::size_t peak = 0;

void* allocate(std::size_t size) {
  void* const block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  if (counting) {
    live += size;
    if (live > peak) peak = live;
  }
  return static_cast<char*>(block) + kHeader;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  char* const block = static_cast<char*>(p) - kHeader;
  const std::size_t size = *reinterpret_cast<std::size_t*>(block);
  if (counting) live = size > live ? 0 : live - size;
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }

namespace metclust::cluster {
namespace {

struct NoSink : FusionSink {
  void fusion(std::int32_t, std::int32_t, std::int32_t, double) override {}
};

// The most memory held at once by AGGLOM on a year of nl locations.
std::size_t peak_bytes(std::int32_t nl, std::int32_t istrat, PairSearch search) {
  std::mt19937_64 rng(static_cast<std::uint64_t>(nl));
  std::vector<double> pii(static_cast<std::size_t>(records::packed_size(nl)));
  for (double& v : pii) v = static_cast<double>(rng() % 16);
  std::vector<std::int32_t> g(static_cast<std::size_t>(nl)), label(g.size()),
      hist(2 * (g.size() - 1));
  NoSink sink;
  live = 0;
  peak = 0;
  counting = true;
  const bool complete = AGGLOM(pii, g, label, hist, nl, 0.0, istrat, sink, search);
  counting = false;
  EXPECT_TRUE(complete);
  return peak;
}

TEST(AgglomMemory, AFewArraysByLocationBesideTheMatrix) {
  for (const std::int32_t istrat : {1, 3, 8}) {
    const std::size_t at_1000 = peak_bytes(1000, istrat, PairSearch::Fast);
    const std::size_t at_4000 = peak_bytes(4000, istrat, PairSearch::Fast);
    std::printf("strategy %d: %zu bytes at 1000 locations, %zu at 4000 (matrix %lld)\n", istrat,
                at_1000, at_4000, static_cast<long long>(records::packed_size(4000) * 8));
    // Linear in the locations (a quarter of the matrix at 1000 would be
    // about 1 MB), and a small part of the matrix.
    EXPECT_GT(at_1000, std::size_t{0});
    EXPECT_LE(at_4000, 5 * at_1000) << "strategy " << istrat;
    EXPECT_LE(at_4000, std::size_t{256} * 4000) << "strategy " << istrat;
    EXPECT_LE(peak_bytes(300, istrat, PairSearch::Plain), std::size_t{64} * 300);
  }
}

}  // namespace
}  // namespace metclust::cluster
