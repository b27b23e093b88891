// Rates of the shape item tree paths: matching a text body, writing a
// binary body, and the value texts.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bnf/bnf_parser.h"
#include "bnf/tokenizer.h"
#include "container/fioshare.h"
#include "shape/binary_writer.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/text_reader.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

namespace {

std::string utf16le(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A document of `blocks` shapes, each with a name, a string and an array of
// points of two floats and an integer: the mix of a typical drawing file.
struct Document {
  std::filesystem::path dir;
  sShapeTokenDef entries[3] = {{const_cast<char16_t*>(u"Shape"), 0x00010002u},
                               {const_cast<char16_t*>(u"Point"), 0x00010003u},
                               {nullptr, 0}};
  sTokenTable tokens{entries};
  sConversion conv{tokens};
  sBNFTable* table = nullptr;
  std::u16string body_path;
  std::size_t text_bytes = 0;

  explicit Document(int blocks) {
    dir = std::filesystem::temp_directory_path() / ("vexlor_shape_bench_" + std::to_string(blocks));
    std::filesystem::create_directories(dir);
    conv.tokenizer = std::make_unique<sTokenizer>();
    const std::u16string grammar =
        u"FILE_TYPE = \"w\" .\nFILE_TYPE_VER = \"1\" .\n"
        u"FILE = { :Shape } .\nShape ==> :string :ARRAY ( :Point ) .\nPoint ==> :float :float :sint .\nEOF\n";
    write_file(dir / "bench.bnf", utf16le(grammar));
    table = parse_bnf_file(*conv.tokenizer, conv.rep, tokens, widen((dir / "bench.bnf").string()).c_str());

    std::mt19937 rng(7);
    std::string text;
    for (int b = 0; b < blocks; ++b) {
      text += "Shape S" + std::to_string(b) + " (\r\n\t\"outline of part " + std::to_string(b) + "\"\r\n";
      for (int p = 0; p < 8; ++p) {
        text += "\tPoint ( " + std::to_string(rng() % 100000 / 100.0).substr(0, 6) + " " +
                std::to_string(rng() % 1000) + ".25 -" + std::to_string(rng() % 5000) + " )\r\n";
      }
      text += ")\r\n";
    }
    const std::string bytes = utf16le(widen(text) + std::u16string(20, u' '));
    text_bytes = bytes.size();
    write_file(dir / "body.txt", bytes);
    body_path = widen((dir / "body.txt").string());
  }
  ~Document() {
    destroy_bnf_table(table);
    std::filesystem::remove_all(dir);
  }

  sShapeItemNode* read() {
    sTokenizer& tz = *conv.tokenizer;
    tokenizer_open_file(tz, conv.rep, body_path.c_str());
    sShapeItemNode* root = shape_node_create(nullptr);
    root->type = SHN_PARENT;
    sBNFSubtoken entry{table->root_token, nullptr};
    sShapeItemNode* cursor = root;
    match_text(conv, tz, nullptr, &entry, &cursor, nullptr);
    tokenizer_close(tz);
    sShapeItemNode* first = root->child;
    root->child = nullptr;
    shape_tree_free(root);
    return first;
  }
};

void BM_TextRead(benchmark::State& state) {
  Document doc(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    sShapeItemNode* first = doc.read();
    if (first == nullptr) state.SkipWithError("no match");
    shape_tree_normalise(doc.conv.rep, doc.tokens, first);
    shape_tree_free(first);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.text_bytes));
}
BENCHMARK(BM_TextRead)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_BinaryWrite(benchmark::State& state) {
  Document doc(static_cast<int>(state.range(0)));
  sShapeItemNode* first = doc.read();
  shape_tree_normalise(doc.conv.rep, doc.tokens, first);
  std::size_t written = 0;
  for (auto _ : state) {
    sFioShareFile* stream = fioshare_file_create_ex(nullptr, FIO_WRITE, FIO_COMP_NONE, 0);
    for (sShapeItemNode* node = first; node != nullptr; node = node->next) write_binary_parent(doc.conv, stream, doc.table, node);
    written = stream->body_size;
    fioshare_file_close(stream);
  }
  shape_tree_free(first);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
}
BENCHMARK(BM_BinaryWrite)->Arg(20000)->Unit(benchmark::kMillisecond);

std::vector<float> random_floats(std::size_t count) {
  std::mt19937 rng(11);
  std::vector<float> values(count);
  for (auto& v : values) {
    sUInt bits = rng() & 0xBFFFFFFFu;  // finite, across most exponents
    std::memcpy(&v, &bits, 4);
  }
  return values;
}

void BM_FloatText(benchmark::State& state) {
  const std::vector<float> values = random_floats(4096);
  char16_t text[kValueTextUnits];
  for (auto _ : state) {
    for (float v : values) benchmark::DoNotOptimize(format_float_text(v, text));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_FloatText);

void BM_FloatScan(benchmark::State& state) {
  std::vector<std::u16string> texts;
  for (float v : random_floats(4096)) {
    char16_t text[kValueTextUnits];
    format_float_text(v, text);
    texts.emplace_back(text);
  }
  for (auto _ : state) {
    for (const auto& t : texts) {
      float f;
      benchmark::DoNotOptimize(scan_float_text(t.c_str(), &f));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * texts.size()));
}
BENCHMARK(BM_FloatScan);

}  // namespace
