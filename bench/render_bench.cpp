// Rendering of E16.8 output fields, as the matrix echo and the fusion records
// carry them, side by side with a bare std::to_chars of the same values.
// After the timing each benchmark checks one rendered field against its
// known text, so a renderer that writes the wrong bytes reports an error.
#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "records/render.hpp"

namespace {

constexpr std::size_t kValues = 1024;

// Values of 8 significant digits over decimal exponents -30..30 of either
// sign, from a fixed seed so that every run renders the same values.
std::vector<double> make_values() {
  std::mt19937_64 random(20261210);
  std::uniform_real_distribution<double> mantissa(0.1, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::vector<double> values(kValues);
  for (double& value : values) {
    value = mantissa(random) * std::pow(10.0, exponent(random));
    if ((random() & 1) != 0) value = -value;
  }
  return values;
}

void E16_8(benchmark::State& state) {
  const std::vector<double> values = make_values();
  std::string out;
  out.reserve(16 * kValues);
  for (auto _ : state) {
    out.clear();
    for (double value : values) metclust::records::render_exp(out, value, 16, 8);
    benchmark::DoNotOptimize(out.data());
  }
  out.clear();
  metclust::records::render_exp(out, 12.345, 16, 8);
  if (out != "  0.12345000E+02") state.SkipWithError("E16.8 of 12.345 rendered wrongly");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValues));
}
BENCHMARK(E16_8);

void ToCharsBaseline(benchmark::State& state) {
  const std::vector<double> values = make_values();
  std::array<char, 32> buffer;
  for (auto _ : state) {
    for (double value : values) {
      auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                  std::chars_format::scientific, 7);
      benchmark::DoNotOptimize(result.ptr);
    }
  }
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), 12.345,
                                 std::chars_format::scientific, 7);
  if (ec != std::errc() || std::string(buffer.data(), end) != "1.2345000e+01") {
    state.SkipWithError("to_chars of 12.345 rendered wrongly");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValues));
}
BENCHMARK(ToCharsBaseline);

}  // namespace
