// Rates of the text tokenizer on a large UTF-16 token text: plain reading,
// and reading with the saved states a backtracking reader takes per attempt.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bnf/tokenizer.h"
#include "common/report.h"

namespace {

// A text body of the kind the text writer produces, about `units` long.
std::u16string token_text(std::size_t units) {
  std::mt19937 rng(1);
  std::string s = "// generated\r\n";
  while (s.size() < units) {
    s += "\tItem" + std::to_string(rng() % 64) + " ( \"name_" + std::to_string(rng() % 5000) + "\" " +
         std::to_string(rng() % 100000) + " 0x" + std::to_string(rng() % 99999999) + " 1.5 ";
    if (rng() % 8 == 0) s += "\"a long string with blanks\"+\r\n\t\t\"continued\" /* note */ ";
    s += ")\r\n";
  }
  return std::u16string(s.begin(), s.end());
}

// The text written once to a file that goes at exit.
class TextFile {
 public:
  TextFile() {
    path_ = (std::filesystem::temp_directory_path() / ("vexlor-tokbench-" + std::to_string(::getpid()) + ".txt"))
                .string();
    std::u16string text = token_text(2 << 20);
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
      bytes += static_cast<char>(c & 0xFF);
      bytes += static_cast<char>(c >> 8);
    }
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    size_ = bytes.size();
    wpath_.assign(path_.begin(), path_.end());
  }
  ~TextFile() { std::filesystem::remove(path_); }
  const char16_t* path() const { return wpath_.c_str(); }
  std::size_t size() const { return size_; }

 private:
  std::string path_;
  std::u16string wpath_;
  std::size_t size_ = 0;
};

const TextFile& text_file() {
  static const TextFile file;
  return file;
}

// mode 0: get only; 1: push, get, drop (an attempt that matches);
// 2: push, get, pop, then push, get, drop (an attempt that fails first).
void BM_Tokenize(benchmark::State& state) {
  const TextFile& file = text_file();
  const int mode = static_cast<int>(state.range(0));
  sReporter rep;
  const auto tz = std::make_unique<sTokenizer>();
  int64_t tokens = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!tokenizer_open_file(*tz, rep, file.path())) {
      state.SkipWithError("open failed");
      break;
    }
    state.ResumeTiming();
    for (;;) {
      if (mode == 2) {
        push_token_state(*tz);
        get_next_token(*tz, ST_NUMBER);
        pop_token_state(*tz);
      }
      if (mode != 0) push_token_state(*tz);
      bool got = get_next_token(*tz, ST_DONTCARE);
      if (mode != 0) drop_token_state(*tz);
      if (!got) break;
      ++tokens;
    }
    state.PauseTiming();
    tokenizer_close(*tz);
    state.ResumeTiming();
  }
  state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_Tokenize)->Arg(0)->Arg(1)->Arg(2)->ArgName("mode")->Unit(benchmark::kMillisecond);

// Preview then get, as the reader does before every block.
void BM_PreviewThenGet(benchmark::State& state) {
  const TextFile& file = text_file();
  sReporter rep;
  const auto tz = std::make_unique<sTokenizer>();
  int64_t tokens = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tokenizer_open_file(*tz, rep, file.path());
    state.ResumeTiming();
    for (;;) {
      preview_next_token(*tz, ST_DONTCARE);
      push_token_state(*tz);
      bool got = get_next_token(*tz, ST_DONTCARE);
      drop_token_state(*tz);
      if (!got) break;
      ++tokens;
    }
    state.PauseTiming();
    tokenizer_close(*tz);
    state.ResumeTiming();
  }
  state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_PreviewThenGet)->Unit(benchmark::kMillisecond);

}  // namespace
