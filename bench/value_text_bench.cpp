// Rates of the value texts alone: floats as a model holds them (up to four
// decimals, as bench/gen_model writes them), floats of any bits, the plain
// search for comparison, and the integer forms.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "shape/shape_tree.h"
#include "shape/value_text.h"

namespace {

constexpr std::size_t kValues = 4096;

// Coordinates within +-50, normals within +-1, texture coordinates in [0, 1],
// each of ten-thousandths, as text read back into floats.
std::vector<sUInt> model_floats() {
  std::mt19937 rng(16);
  std::vector<sUInt> values(kValues);
  for (std::size_t i = 0; i < kValues; ++i) {
    const int range = i % 3 == 0 ? 500000 : i % 3 == 1 ? 10000 : 5000;
    const float f = static_cast<float>(static_cast<int>(rng() % (2 * range + 1)) - range) / 10000.0f;
    std::memcpy(&values[i], &f, sizeof f);
  }
  return values;
}

std::vector<sUInt> any_floats() {
  std::mt19937 rng(11);
  std::vector<sUInt> values(kValues);
  for (auto& v : values) v = rng() & 0xBFFFFFFFu;  // finite, across most exponents
  return values;
}

void run(benchmark::State& state, sUInt type, const std::vector<sUInt>& values) {
  char16_t text[kValueTextUnits];
  for (auto _ : state) {
    for (sUInt v : values) benchmark::DoNotOptimize(format_value_text(type, v, text));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}

void BM_ModelFloatText(benchmark::State& state) { run(state, SHN_FLOAT, model_floats()); }
BENCHMARK(BM_ModelFloatText);

void BM_AnyFloatText(benchmark::State& state) { run(state, SHN_FLOAT, any_floats()); }
BENCHMARK(BM_AnyFloatText);

void BM_ModelFloatTextBySearch(benchmark::State& state) {
  const std::vector<sUInt> values = model_floats();
  char16_t text[kValueTextUnits];
  for (auto _ : state) {
    for (sUInt v : values) {
      float f;
      std::memcpy(&f, &v, sizeof f);
      benchmark::DoNotOptimize(format_float_text_by_search(f, text));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_ModelFloatTextBySearch);

std::vector<sUInt> indices() {
  std::mt19937 rng(3);
  std::vector<sUInt> values(kValues);
  for (auto& v : values) v = rng() % 20000;
  return values;
}

void BM_UintText(benchmark::State& state) { run(state, SHN_UINT, indices()); }
BENCHMARK(BM_UintText);

void BM_SintText(benchmark::State& state) { run(state, SHN_SINT, any_floats()); }
BENCHMARK(BM_SintText);

void BM_DwordText(benchmark::State& state) { run(state, SHN_DWORD, any_floats()); }
BENCHMARK(BM_DwordText);

void BM_ByteText(benchmark::State& state) { run(state, SHN_BYTE, indices()); }
BENCHMARK(BM_ByteText);

}  // namespace
