// One year of the agglomeration loop at NL = 411 locations, the largest year
// the work space holds, for every strategy: the fast pair search side by
// side with the full scan of FNDMIN on the same matrix. Each benchmark
// checks after the timing that its fusion history and levels are those of
// the full scan, so a search that picks other pairs reports an error
// instead of a time. After the table, one line per matrix and strategy sets
// the median CPU times of the two against each other: the fast search must
// be at least 50 times faster.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cluster/agglom.hpp"
#include "records/packed.hpp"

namespace {

using metclust::cluster::AGGLOM;
using metclust::cluster::FusionSink;
using metclust::cluster::PairSearch;

constexpr std::int32_t kLocations = 411;
constexpr double kRequiredRatio = 50.0;

enum class Data { Distances, Integers };

const char* name_of(Data data) { return data == Data::Distances ? "distances" : "integers"; }
const char* name_of(PairSearch search) { return search == PairSearch::Fast ? "fast" : "plain"; }

std::string name_of(Data data, std::int32_t istrat, PairSearch search) {
  return std::string("year/") + name_of(data) + "/strategy:" + std::to_string(istrat) + "/" +
         name_of(search);
}

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
    std::vector<double> m(static_cast<std::size_t>(metclust::records::packed_size(kLocations)));
    for (std::int32_t j = 2; j <= kLocations; ++j) {
      for (std::int32_t i = 1; i < j; ++i) {
        double sum = 0;
        for (int c = 0; c < 4; ++c) {
          const double d = points[i - 1][c] - points[j - 1][c];
          sum += d * d;
        }
        metclust::records::pair_at<double>(m, i, j) = std::sqrt(sum);
      }
    }
    return m;
  }();
  static const std::vector<double> integers = [] {
    std::mt19937_64 random(822);
    std::vector<double> m(static_cast<std::size_t>(metclust::records::packed_size(kLocations)));
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
void register_all() {
  for (const Data data : {Data::Distances, Data::Integers}) {
    for (std::int32_t istrat = 1; istrat <= 8; ++istrat) {
      for (const PairSearch search : {PairSearch::Fast, PairSearch::Plain}) {
        benchmark::RegisterBenchmark(name_of(data, istrat, search).c_str(), BM_Year, data, istrat,
                                     search)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->DisplayAggregatesOnly(true);
      }
    }
  }
}

// Keeps the median CPU time of each benchmark, in milliseconds.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!run.error_occurred && run.run_type == Run::RT_Aggregate &&
          run.aggregate_name == "median") {
        medians_[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  const double* median(const std::string& name) const {
    const auto it = medians_.find(name);
    return it == medians_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  register_all();
  MedianReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Data data : {Data::Distances, Data::Integers}) {
    for (std::int32_t istrat = 1; istrat <= 8; ++istrat) {
      const double* fast = reporter.median(name_of(data, istrat, PairSearch::Fast));
      const double* plain = reporter.median(name_of(data, istrat, PairSearch::Plain));
      if (fast == nullptr || plain == nullptr) continue;
      const double ratio = *plain / *fast;
      std::printf("%-9s strategy %d  cpu plain %7.3f ms / fast %6.3f ms = %6.1f", name_of(data),
                  istrat, *plain, *fast, ratio);
      std::printf("  (at least %.0f: %s)\n", kRequiredRatio,
                  ratio >= kRequiredRatio ? "yes" : "NO");
    }
  }
  benchmark::Shutdown();
  return 0;
}
