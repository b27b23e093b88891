// Rates of the token-file container: the mark-B codec in both directions,
// opening a zlib body, and the small appends the writers make.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "container/fioshare.h"
#include "container/huffman.h"

namespace {

// Text of the kind the text writer produces, a few MiB of it.
std::vector<sByte> token_text(std::size_t n) {
  std::mt19937 rng(1);
  std::string s;
  while (s.size() < n) {
    s += "\tItem" + std::to_string(rng() % 64) + " ( \"name_" + std::to_string(rng() % 5000) + "\" " +
         std::to_string(rng() % 100000) + " 0x" + std::to_string(rng() % 99999999) + " 1.5 )\r\n";
  }
  s.resize(n);
  return std::vector<sByte>(s.begin(), s.end());
}

std::vector<sByte> random_bytes(std::size_t n) {
  std::mt19937 rng(2);
  std::vector<sByte> b(n);
  for (auto& x : b) x = static_cast<sByte>(rng());
  return b;
}

const std::vector<sByte>& input(int kind) {
  static const std::vector<sByte> text = token_text(4 << 20);
  static const std::vector<sByte> random = random_bytes(1 << 20);
  return kind == 0 ? text : random;
}

void BM_HuffEncode(benchmark::State& state) {
  const auto& data = input(static_cast<int>(state.range(0)));
  std::vector<sByte> out(data.size() + 1024);
  for (auto _ : state) {
    sUInt n = 0;
    if (!huff_encode(data.data(), static_cast<sUInt>(data.size()), out.data(), static_cast<sUInt>(out.size()), &n)) {
      state.SkipWithError("encode failed");
    }
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_HuffEncode)->Arg(0)->Arg(1)->ArgName("random");

void BM_HuffDecode(benchmark::State& state) {
  const auto& data = input(static_cast<int>(state.range(0)));
  std::vector<sByte> coded(data.size() + 1024);
  sUInt n = 0;
  huff_encode(data.data(), static_cast<sUInt>(data.size()), coded.data(), static_cast<sUInt>(coded.size()), &n);
  std::vector<sByte> out(data.size());
  for (auto _ : state) {
    const sUInt got = huff_decode(coded.data(), coded.data() + kHuffTableBytes, n - kHuffTableBytes, out.data(),
                                  static_cast<sUInt>(out.size()));
    if (got != out.size()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_HuffDecode)->Arg(0)->Arg(1)->ArgName("random");

// Opening a mark-"F" file held in memory: header, inflate, size check.
void BM_OpenZlibBody(benchmark::State& state) {
  const auto& data = input(0);
  uLongf z = compressBound(data.size());
  std::vector<sByte> file(16 + z);
  std::memcpy(file.data(), "KALDOA@F", 8);
  const sUInt size = static_cast<sUInt>(data.size());
  for (int k = 0; k < 4; ++k) file[8 + k] = static_cast<sByte>(size >> (8 * k));
  std::memcpy(file.data() + 12, "@@@@", 4);
  compress(file.data() + 16, &z, data.data(), data.size());
  file.resize(16 + z);
  for (auto _ : state) {
    sFioShareFile* s = fioshare_open_memory(file.data(), static_cast<sUInt>(file.size()));
    if (s == nullptr) state.SkipWithError("open failed");
    fioshare_file_close(s);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_OpenZlibBody);

// The binary writer appends records of a few bytes each.
void BM_SmallAppends(benchmark::State& state) {
  const std::size_t total = 16 << 20;
  const sByte record[6] = {1, 2, 3, 4, 5, 6};
  for (auto _ : state) {
    sFioShareFile* s = fioshare_file_create_ex(nullptr, FIO_WRITE, FIO_COMP_NONE, 0);
    for (std::size_t i = 0; i < total; i += 6) fioshare_write(s, record, 6);
    benchmark::DoNotOptimize(s->body);
    fioshare_file_close(s);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}
BENCHMARK(BM_SmallAppends);

}  // namespace
