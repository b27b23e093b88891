// Rates of the binary -> text direction: matching a binary body against a
// grammar (which formats every number's text), and writing the tree as a
// text body. Values per second is the figure to watch; a document is mostly
// short numbers in arrays.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "bnf/bnf_model.h"
#include "container/fioshare.h"
#include "shape/binary_reader.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/text_writer.h"
#include "shape/token_file.h"
#include "tables/stoken.h"

namespace {

constexpr sUInt kItemId = 0x00010002;
constexpr int kBlocks = 500;
constexpr int kFloatsPerBlock = 2000;
constexpr int kValuesPerBlock = kFloatsPerBlock + 3;

// FILE = { Item } ; Item = ( :string :uint :dword [ :float ] )
struct Grammar {
  std::deque<sBNFTokenDef> defs;
  std::deque<std::vector<sBNFSubtoken>> items;
  sBNFTable table{};
  sBNFSubtoken root{};
  char16_t item_name[5] = u"Item";
  char16_t file_name[5] = u"FILE";

  sBNFTokenDef* def(sUInt type, char16_t* text, std::vector<sBNFTokenDef*> subs) {
    sBNFTokenDef& d = defs.emplace_back();
    std::memset(&d, 0, sizeof d);
    d.type = type;
    d.text = text;
    auto& list = items.emplace_back();
    for (sBNFTokenDef* s : subs) list.push_back(sBNFSubtoken{s, nullptr});
    d.subtokens = list.empty() ? nullptr : list.data();
    d.subtoken_count = sUInt(list.size());
    return &d;
  }
  Grammar() {
    sBNFTokenDef* array = def(BNFT_CON_ARRAY, nullptr, {def(BNFT_FLOAT, nullptr, {})});
    sBNFTokenDef* item = def(BNFT_TOKENDEF, item_name,
                             {def(BNFT_STRING, nullptr, {}), def(BNFT_UINT, nullptr, {}),
                              def(BNFT_DWORD, nullptr, {}), array});
    root = sBNFSubtoken{def(BNFT_RULEDEF, file_name, {def(BNFT_CON_REPEAT, nullptr, {item})}), nullptr};
    table.root_token = root.def;
  }
};

// The token table, and a conversion over it.
struct Tokens {
  char16_t name[5] = u"Item";
  sShapeTokenDef entries[2] = {{name, kItemId}, {nullptr, 0}};
  sTokenTable table{entries};
  sConversion conv{table};
};

void put32(std::vector<sByte>& b, sUInt v) {
  for (int i = 0; i < 4; ++i) b.push_back(sByte(v >> (8 * i)));
}

std::vector<sByte> make_body() {
  std::vector<sByte> body(16, 0);
  std::memcpy(body.data(), "TORV0\x01\x01" "b", 8);
  for (int b = 0; b < kBlocks; ++b) {
    std::vector<sByte> content;
    const char16_t label[] = u"block label";
    content.push_back(11);
    content.push_back(0);
    for (int i = 0; i < 11; ++i) {
      content.push_back(sByte(label[i]));
      content.push_back(0);
    }
    put32(content, sUInt(b));
    put32(content, 0xC0FFEE00u + sUInt(b));
    for (int i = 0; i < kFloatsPerBlock; ++i) {
      float f = float(i) * 0.37f - 100.0f;
      sUInt bits;
      std::memcpy(&bits, &f, 4);
      put32(content, bits);
    }
    put32(body, kItemId);
    put32(body, sUInt(1 + content.size()));
    body.push_back(0);
    body.insert(body.end(), content.begin(), content.end());
  }
  return body;
}

// Read as a loaded file is: nodes in an arena, numbers given their texts as
// they are read.
sShapeItemNode* read_tree(Tokens& tokens, Grammar& g, const std::vector<sByte>& body, sShapeArena* arena) {
  sShapeItemNode* root = shape_node_create(nullptr, arena);
  root->type = SHN_PARENT;
  root->bnf_entry = &g.root;
  sShapeItemNode* cursor = root;
  sUInt position = kBodyHeaderBytes;
  if (!match_binary(tokens.conv, arena, body.data(), sUInt(body.size()), &position, &g.root, &cursor, nullptr)) {
    shape_tree_free(root, arena);
    return nullptr;
  }
  return root;
}


void BM_BinaryReader(benchmark::State& state) {
  Tokens tokens;
  Grammar g;
  const std::vector<sByte> body = make_body();
  for (auto _ : state) {
    sShapeArena* arena = shape_arena_create();
    sShapeItemNode* root = read_tree(tokens, g, body, arena);
    if (root == nullptr) state.SkipWithError("read failed");
    state.PauseTiming();
    shape_tree_free(root, arena);
    shape_arena_release(arena);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(body.size()));
  state.counters["values/s"] =
      benchmark::Counter(double(kBlocks) * kValuesPerBlock, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BinaryReader)->Unit(benchmark::kMillisecond);

void BM_TextWriter(benchmark::State& state) {
  Tokens tokens;
  Grammar g;
  const std::vector<sByte> body = make_body();
  sShapeArena* arena = shape_arena_create();
  sShapeItemNode* root = read_tree(tokens, g, body, arena);
  if (root == nullptr || !shape_tree_normalise_matched(tokens.conv.rep, tokens.table, root->child, arena)) {
    state.SkipWithError("read failed");
    return;
  }
  sUInt written = 0;
  for (auto _ : state) {
    sFioShareFile* out = fioshare_file_create_ex(std::tmpfile(), FIO_WRITE, FIO_COMP_NONE, 1);
    for (sShapeItemNode* node = root->child; node != nullptr; node = node->next) {
      if (!write_text_parent(tokens.conv.rep, out, node, 0)) state.SkipWithError("write failed");
    }
    written = out->body_size;
    state.PauseTiming();
    fioshare_file_close(out);
    state.ResumeTiming();
  }
  shape_tree_free(root, arena);
  shape_arena_release(arena);
  state.SetBytesProcessed(int64_t(state.iterations()) * written);
  state.counters["values/s"] =
      benchmark::Counter(double(kBlocks) * kValuesPerBlock, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_TextWriter)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The whole binary -> text direction through files: open and read the
// binary token file, normalise, write and close the text file.
void BM_BinaryToTextFile(benchmark::State& state) {
  Tokens tokens;
  Grammar g;
  const std::vector<sByte> body = make_body();
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path dir = fs::temp_directory_path(error) / "vexlor-shape-output-bench";
  fs::create_directories(dir, error);
  const std::string bin_path = (dir / "in.bin").string();
  const std::string text_path = (dir / "out.txt").string();
  const std::u16string bin(bin_path.begin(), bin_path.end());
  const std::u16string text(text_path.begin(), text_path.end());
  sFioShareFile* out = fioshare_file_open(tokens.conv.rep, bin.c_str(), FIO_WRITE, FIO_COMP_NONE, 0);
  fioshare_write(out, body.data(), sUInt(body.size()));
  fioshare_file_close(out);
  for (auto _ : state) {
    sUInt mark = 0;
    sShapeFile* file = read_token_file(tokens.conv, bin.c_str(), &g.table, &mark);
    if (file == nullptr || !write_text_file(tokens.conv, text.c_str(), file, file->first, mark)) {
      state.SkipWithError("failed");
    }
    free_shape_file(file);
  }
  fs::remove_all(dir, error);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(body.size()));
  state.counters["values/s"] =
      benchmark::Counter(double(kBlocks) * kValuesPerBlock, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BinaryToTextFile)->Unit(benchmark::kMillisecond);

}  // namespace
