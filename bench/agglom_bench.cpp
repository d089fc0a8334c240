// One year of the agglomeration loop at NL = 411 locations, the largest year
// the work space holds, for every strategy: the fast pair search side by
// side with the full scan of FNDMIN on the same matrix. Each benchmark
// checks after the timing that its fusion history and levels are those of
// the full scan, so a search that picks other pairs reports an error
// instead of a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "cluster/agglom.hpp"
#include "cluster/packed.hpp"

namespace {

using metclust::cluster::AGGLOM;
using metclust::cluster::FusionSink;
using metclust::cluster::PairSearch;

constexpr std::int32_t kLocations = 411;

enum class Data { Distances, Integers };

// Keeps nothing but a running digest of the fusion levels.
struct LevelDigest : FusionSink {
  std::uint64_t digest = 0;
  void fusion(std::int32_t, std::int32_t, std::int32_t, double dmin) override {
    digest = digest * 1099511628211u ^ std::bit_cast<std::uint64_t>(dmin);
  }
};

// Euclidean distances between random points in four dimensions, or whole
// numbers 0..9 that make ties at almost every fusion; fixed seeds.
const std::vector<double>& matrix(Data data) {
  static const std::vector<double> distances = [] {
    std::mt19937_64 random(411);
    std::vector<std::array<double, 4>> points(kLocations);
    for (auto& p : points) {
      for (double& c : p) c = static_cast<double>(random() >> 11) * 0x1p-53;
    }
    std::vector<double> m(static_cast<std::size_t>(metclust::cluster::packed_size(kLocations)));
    for (std::int32_t j = 2; j <= kLocations; ++j) {
      for (std::int32_t i = 1; i < j; ++i) {
        double sum = 0;
        for (int c = 0; c < 4; ++c) {
          const double d = points[i - 1][c] - points[j - 1][c];
          sum += d * d;
        }
        metclust::cluster::pair_at<double>(m, i, j) = std::sqrt(sum);
      }
    }
    return m;
  }();
  static const std::vector<double> integers = [] {
    std::mt19937_64 random(822);
    std::vector<double> m(static_cast<std::size_t>(metclust::cluster::packed_size(kLocations)));
    for (double& v : m) v = static_cast<double>(random() % 10);
    return m;
  }();
  return data == Data::Distances ? distances : integers;
}

struct Year {
  std::vector<double> pii;
  std::vector<std::int32_t> g, label, hist;
  LevelDigest sink;

  Year(Data data, std::int32_t istrat, PairSearch search)
      : pii(matrix(data)), g(kLocations), label(kLocations), hist(2 * (kLocations - 1)) {
    AGGLOM(pii, g, label, hist, kLocations, 0.0, istrat, sink, search);
  }
};

// The full scan's history and level digest, made once per matrix and strategy.
const Year& reference(Data data, std::int32_t istrat) {
  static std::map<std::pair<Data, std::int32_t>, Year> made;
  auto it = made.find({data, istrat});
  if (it == made.end()) {
    it = made.emplace(std::piecewise_construct, std::forward_as_tuple(data, istrat),
                      std::forward_as_tuple(data, istrat, PairSearch::Plain))
             .first;
  }
  return it->second;
}

void BM_Year(benchmark::State& state, Data data, std::int32_t istrat, PairSearch search) {
  const std::vector<double>& source = matrix(data);
  std::vector<double> pii(source.size());
  std::vector<std::int32_t> g(kLocations), label(kLocations), hist(2 * (kLocations - 1));
  LevelDigest sink;
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(source.begin(), source.end(), pii.begin());
    sink.digest = 0;
    state.ResumeTiming();
    const bool complete = AGGLOM(pii, g, label, hist, kLocations, 0.0, istrat, sink, search);
    benchmark::DoNotOptimize(complete);
    benchmark::ClobberMemory();
  }
  const Year& full_scan = reference(data, istrat);
  if (hist != full_scan.hist || sink.digest != full_scan.sink.digest) {
    state.SkipWithError("fusions differ from the full scan");
  }
  state.SetItemsProcessed(state.iterations() * (kLocations - 1));  // fusions
}

// Fast and full scan one after the other for each strategy, so that each
// pair of lines compares like with like.
const bool registered = [] {
  for (const auto& [data, data_name] : {std::pair{Data::Distances, "distances"},
                                        std::pair{Data::Integers, "integers"}}) {
    for (std::int32_t istrat = 1; istrat <= 8; ++istrat) {
      for (const auto& [search, search_name] : {std::pair{PairSearch::Fast, "fast"},
                                                std::pair{PairSearch::Plain, "plain"}}) {
        const std::string name = std::string("year/") + data_name + "/strategy:" +
                                 std::to_string(istrat) + "/" + search_name;
        benchmark::RegisterBenchmark(name.c_str(), BM_Year, data, istrat, search)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->DisplayAggregatesOnly(true);
      }
    }
  }
  return true;
}();

}  // namespace
