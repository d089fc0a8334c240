// Parsing of E16.8 input fields, as the matrix rows of a .EMA file carry
// them, side by side with std::from_chars on the same texts without their
// leading blanks. Each benchmark sums what it parsed and compares the sum
// with one made from known values after the timing, so a parser that
// returns the wrong values reports an error instead of a time.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "records/numeric_input.hpp"

namespace {

using metclust::records::parse_real_field;

constexpr std::size_t kFields = 1024;

struct Field {
  std::string text;  // 16 columns, right-justified: "  0.12345678E+02"
  double value;      // the value the text stands for, in either precision
  float value_float;
};

// Fields of 8 significant digits and decimal exponents -30..30 of either
// sign, from a fixed seed so that every run parses the same texts.
std::vector<Field> make_fields() {
  std::mt19937_64 random(20261210);
  std::uniform_int_distribution<int> mantissa(10000000, 99999999);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::vector<Field> fields;
  fields.reserve(kFields);
  for (std::size_t k = 0; k < kFields; ++k) {
    const bool negative = (random() & 1) != 0;
    const int digits = mantissa(random);
    const int power = exponent(random);
    std::string text = negative ? " -0." : "  0.";
    text += std::to_string(digits);
    text += power < 0 ? "E-" : "E+";
    const int magnitude = power < 0 ? -power : power;
    if (magnitude < 10) text += '0';
    text += std::to_string(magnitude);
    // The reference value comes from the same digits in from_chars's own
    // notation.
    const std::string plain =
        (negative ? "-0." : "0.") + std::to_string(digits) + "e" + std::to_string(power);
    double value = 0;
    float value_float = 0;
    std::from_chars(plain.data(), plain.data() + plain.size(), value);
    std::from_chars(plain.data(), plain.data() + plain.size(), value_float);
    fields.push_back({text, value, value_float});
  }
  return fields;
}

const std::vector<Field>& fields() {
  static const std::vector<Field> all = make_fields();
  return all;
}

// Sum of the values of the fields the first `count` iterations visited, in
// the same order as the timed loop.
template <class Real>
Real expected_sum(std::int64_t count) {
  Real sum = 0;
  for (std::int64_t k = 0; k < count; ++k) {
    const Field& field = fields()[static_cast<std::size_t>(k) % kFields];
    if constexpr (std::is_same_v<Real, float>) {
      sum += field.value_float;
    } else {
      sum += field.value;
    }
  }
  return sum;
}

template <class Real>
void check(benchmark::State& state, Real sum) {
  if (sum != expected_sum<Real>(state.iterations())) state.SkipWithError("wrong values parsed");
  state.SetItemsProcessed(state.iterations());
}

void BM_ParseE16_8Double(benchmark::State& state) {
  const std::vector<Field>& all = fields();
  double sum = 0;
  std::size_t k = 0;
  for (auto _ : state) {
    const std::optional<double> value = parse_real_field<double>(all[k].text, 8);
    sum += value.value_or(0.0);
    benchmark::DoNotOptimize(sum);
    if (++k == kFields) k = 0;
  }
  check(state, sum);
}
BENCHMARK(BM_ParseE16_8Double);

// The diagonal value of each matrix row is read into a 4-byte real.
void BM_ParseE16_8Float(benchmark::State& state) {
  const std::vector<Field>& all = fields();
  float sum = 0;
  std::size_t k = 0;
  for (auto _ : state) {
    const std::optional<float> value = parse_real_field<float>(all[k].text, 8);
    sum += value.value_or(0.0f);
    benchmark::DoNotOptimize(sum);
    if (++k == kFields) k = 0;
  }
  check(state, sum);
}
BENCHMARK(BM_ParseE16_8Float);

// Baseline: from_chars alone on the texts without their leading blanks.
void BM_FromCharsBaseline(benchmark::State& state) {
  std::vector<std::string_view> trimmed;
  for (const Field& field : fields()) {
    std::string_view text = field.text;
    text.remove_prefix(text.find_first_not_of(' '));
    trimmed.push_back(text);
  }
  double sum = 0;
  std::size_t k = 0;
  for (auto _ : state) {
    double value = 0;
    std::from_chars(trimmed[k].data(), trimmed[k].data() + trimmed[k].size(), value);
    sum += value;
    benchmark::DoNotOptimize(sum);
    if (++k == kFields) k = 0;
  }
  check(state, sum);
}
BENCHMARK(BM_FromCharsBaseline);

}  // namespace
