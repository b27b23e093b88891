// Compares format_float_text with format_float_text_by_search, the plain
// way of finding the same text, for every float bit pattern (or a range of
// them), on all processors. Run by hand; it takes a while:
//
//   float_text_check [first last [threads]]     (hexadecimal bits, inclusive)
//
// Prints each pattern whose texts differ (the first 100), then the count of
// patterns, of mismatches and the time taken. Exit status 1 on a mismatch.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "shape/value_text.h"

namespace {

constexpr std::uint64_t kChunk = 1 << 16;
constexpr int kShownMismatches = 100;

std::string narrow(const char16_t* text) {
  std::string s;
  for (; *text != 0; ++text) s += static_cast<char>(*text);
  return s;
}

struct Check {
  std::uint64_t first = 0;
  std::uint64_t last = 0xFFFFFFFFu;
  std::atomic<std::uint64_t> next{0};
  std::atomic<std::uint64_t> mismatches{0};
  std::atomic<std::uint64_t> done{0};
  std::mutex print;

  void run() {
    for (;;) {
      const std::uint64_t from = first + next.fetch_add(kChunk);
      if (from > last) return;
      const std::uint64_t to = from + kChunk - 1 < last ? from + kChunk - 1 : last;
      for (std::uint64_t bits = from; bits <= to; ++bits) {
        const auto pattern = static_cast<std::uint32_t>(bits);
        float value;
        std::memcpy(&value, &pattern, sizeof value);
        char16_t quick[kValueTextUnits];
        char16_t searched[kValueTextUnits];
        const sUInt quick_length = format_float_text(value, quick);
        const sUInt searched_length = format_float_text_by_search(value, searched);
        if (quick_length != searched_length || std::memcmp(quick, searched, quick_length * sizeof(char16_t)) != 0) {
          if (mismatches.fetch_add(1) < kShownMismatches) {
            std::lock_guard<std::mutex> lock(print);
            std::printf("%08x: %s, searched %s\n", pattern, narrow(quick).c_str(), narrow(searched).c_str());
          }
        }
      }
      done.fetch_add(to - from + 1);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  Check check;
  if (argc >= 3) {
    check.first = std::strtoull(argv[1], nullptr, 16);
    check.last = std::strtoull(argv[2], nullptr, 16);
  }
  unsigned threads = argc >= 4 ? static_cast<unsigned>(std::atoi(argv[3])) : std::thread::hardware_concurrency();
  if (threads == 0) threads = 1;
  if (check.first > check.last || check.last > 0xFFFFFFFFu) {
    std::fprintf(stderr, "float_text_check: the range must be within 0 ... ffffffff\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < threads; ++i) workers.emplace_back([&check] { check.run(); });
  for (std::thread& w : workers) w.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("patterns %08llx ... %08llx: %llu checked, %llu mismatches, %.1f s on %u threads\n",
              static_cast<unsigned long long>(check.first), static_cast<unsigned long long>(check.last),
              static_cast<unsigned long long>(check.done.load()), static_cast<unsigned long long>(check.mismatches.load()),
              seconds, threads);
  return check.mismatches.load() == 0 ? 0 : 1;
}
