// Seeds of the targets that parse grammars or read token files against the
// fixed grammars.
#include <string>

#include "bnf/bnf_model.h"
#include "container/fioshare.h"
#include "fuzz_support.h"
#include "reader_fuzz.h"
#include "seeds.h"
#include "shape/binary_writer.h"
#include "shape/conversion.h"
#include "shape/json_writer.h"
#include "shape/shape_tree.h"
#include "shape/token_file.h"

namespace vxfuzz {

namespace {

void grammar_seeds() {
  for (const auto& [name, bytes] : source_files("defs")) {
    if (name.ends_with(".bnf")) put_seed("grammar_parse_fuzz", name, bytes);
  }
  for (const auto& [name, bytes] : source_files("tests/bad_input/grammar")) put_seed("grammar_parse_fuzz", name, bytes);
  put_seed("grammar_parse_fuzz", "recursive.bnf", read_file("recursive.bnf"));
  const char* const hand_made[] = {
      "FILE_TYPE = 0x41 . FILE_TYPE_VER = 65 . FILE = .",
      "FILE_TYPE = \"w\" .\nFILE_TYPE_VER = \"1\" .\nFILE = a b | c d .\nEOF\n",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = :ARRAY ( :uint :float ) ,v :INDEX ( v ) ,i . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = :Thing . thing = [ x ] { :uint } ( \"s\"+ \"t\" ) . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = { :Node } . Node ==> :Node | :Leaf . Leaf ==> :string .",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . A = x B = y . FILE = /* c /* d */ */ :A // e\n . EOF",
      "FILE_TYPE = \"w\" . FILE_TYPE_VER = \"1\" . FILE = ((((((((((( x ))))))))))) . EOF",
  };
  int i = 0;
  for (const char* text : hand_made) {
    put_seed("grammar_parse_fuzz", "hand" + std::to_string(i++), "\xFF\xFE" + widen(text));
  }
}

// The selector byte of the grammar for the file type and version of a body
// header, or -1.
int selector_for(const std::string& body_header_bytes) {
  const auto& tables = fixture_grammars();
  for (size_t i = 0; i < tables.size(); ++i) {
    if (tables[i]->file_type == static_cast<sByte>(body_header_bytes[5]) &&
        tables[i]->file_type_ver == static_cast<sByte>(body_header_bytes[6])) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// A text file in the UTF-16 header form: the seed is its selector and the
// units behind the body header. Its binary form seeds the binary targets.
void seed_from_text_file(const std::string& name, const std::string& bytes) {
  if (bytes.size() < 66 || bytes.compare(0, 2, "\xFF\xFE") != 0) return;
  std::string header;
  for (size_t i = 0; i < 16; ++i) header += bytes[34 + 2 * i];
  const int selector = selector_for(header);
  if (selector < 0) return;
  put_seed("text_read_fuzz", name, std::string(1, static_cast<char>(selector)) + bytes.substr(66));

  sBNFTable* table = fixture_grammars()[selector];
  sConversion& conv = conversion();
  sShapeFile* file = read_token_file(conv, put_file("seed.s", bytes).c_str(), table, nullptr);
  if (file == nullptr) return;
  if (write_binary_file(conv, work_path("seed.sb").c_str(), table, file, start_node(file), FIO_COMP_NONE)) {
    const std::string binary = read_file("seed.sb");
    if (binary.size() >= 32) {
      const std::string seed = std::string(1, static_cast<char>(selector)) + binary.substr(32);
      put_seed("binary_read_fuzz", name, seed);
      put_seed("roundtrip_fuzz", name, seed);
      put_seed("json_roundtrip_fuzz", name, seed);
    }
  }
  // The same as the content of a JSON document.
  if (write_json_file(conv, work_path("seed.json").c_str(), file, file->first)) {
    const std::string json = read_file("seed.json");
    const std::size_t content = json.find("\"content\": [");
    if (content != std::string::npos) {
      put_seed("json_roundtrip_fuzz", name + "_json",
               std::string(1, static_cast<char>(selector | 0x80)) + json.substr(content + 12));
    }
  }
  free_shape_file(file);
}

// A binary file with the plain header: its selector and body.
void seed_from_binary_file(const std::string& name, const std::string& bytes) {
  if (bytes.size() < 32 || bytes.compare(0, 5, "KALDO") != 0 || bytes[7] != '@') return;
  const int selector = selector_for(bytes.substr(16, 16));
  if (selector < 0) return;
  const std::string seed = std::string(1, static_cast<char>(selector)) + bytes.substr(32);
  put_seed("binary_read_fuzz", name, seed);
  put_seed("roundtrip_fuzz", name, seed);
      put_seed("json_roundtrip_fuzz", name, seed);
}

void token_file_seeds() {
  for (const auto& [name, bytes] : source_files("examples")) seed_from_text_file(name, bytes);
  for (const auto& [name, bytes] : source_files("tests/bad_input/text")) seed_from_text_file(name, bytes);
  for (const auto& [name, bytes] : source_files("tests/bad_input/binary")) seed_from_binary_file(name, bytes);
  // The recursive grammar of the fixed set: every construct and value kind.
  const char* const recursive[] = {
      "Node ( Node ( on -5 off 1f 2 note \"a b\" ) Leaf ( \"x\" 1.5 ) 1 2.5 3 4 kind Plain kind )",
      "Node named ( Node ( Node ( Leaf ( \"\" ) ) ) ) Node ( note \"\\t\\\"\\\\\" )",
      "Node ( 7 0.1 INDEX 8 1e30 ) Node ( off ffffffff ff on 2147483647 )",
  };
  int i = 0;
  for (const char* text : recursive) {
    std::string file = "\xFF\xFE" + widen("KALDOA@@@@@@@@@@TORV0r1t        \r\n") + widen(text);
    seed_from_text_file("recursive" + std::to_string(i++), file);
  }
  // Nodes nested close to the readers' nesting limit (each nested node costs
  // four grammar levels: the block, its repetition, Item and its choice) and
  // past it.
  for (int depth : {450, 600}) {
    std::string text;
    for (int d = 0; d < depth; ++d) text += "Node(";
    text += "on 1";
    text += std::string(depth, ')');
    std::string file = "\xFF\xFE" + widen("KALDOA@@@@@@@@@@TORV0r1t        ") + widen(text);
    seed_from_text_file("nested" + std::to_string(depth), file);
  }
  // The same past the limit as a binary body (the text does not read, so it
  // gives no binary seed). Node is the first token of the fuzz range.
  const sUInt node_id = 0x00F00001u, on_id = 0x00F00003u;
  auto le32 = [](sUInt v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  std::string body = le32(on_id) + le32(1);
  for (int d = 0; d < 600; ++d) body = le32(node_id) + le32(static_cast<sUInt>(body.size()) + 1) + '\0' + body;
  const auto& tables = fixture_grammars();
  for (size_t t = 0; t < tables.size(); ++t) {
    if (tables[t]->file_type == 'r') {
      put_seed("binary_read_fuzz", "nested600", std::string(1, static_cast<char>(t)) + body);
      put_seed("roundtrip_fuzz", "nested600", std::string(1, static_cast<char>(t)) + body);
      put_seed("json_roundtrip_fuzz", "nested600", std::string(1, static_cast<char>(t)) + body);
    }
  }
}

// Grammar and body together for grammar_read_fuzz: one byte N, N * 8 bytes
// of grammar text (UTF-16), then the body.
void grammar_read_seeds() {
  const char* const cases[][2] = {
      {"FILE = { :Node } . Node ==> { :Node | :uint } .", "Node ( Node ( 1 ) 2 )"},
      {"FILE = :A . A = [ :A ] x .", "x x x"},
      {"FILE = :A . A = [ :B ] [ :B ] . B = [ :C ] [ :C ] . C = [ y ] [ y ] .", "y y y z"},
      {"FILE = :ARRAY ( :float :string ) ,a :INDEX ( a ) .", "1.5 \"s\" 2 t 3"},
      {"FILE = ( a ) | b . EOF", "b"},
      {"FILE = { [ :uint ] } .", "1 2 3"},
      {"FILE = Shape ( \"(\" ) [ ] .", "Shape ( \"(\" )"},
      {"FILE = :Shape . Shape ==> :byte :dword :sint :token .", "Shape x ( 1ff ffffffff -1 Smooth )"},
  };
  int i = 0;
  for (const auto& c : cases) {
    std::string grammar = widen(std::string(c[0]) + " ");
    while (grammar.size() % 8 != 0) grammar += widen(" ");
    put_seed("grammar_read_fuzz", "seed" + std::to_string(i++),
             std::string(1, static_cast<char>(grammar.size() / 8)) + grammar + widen(c[1]));
  }
}

}  // namespace

void reader_seeds() {
  fixture_grammars();
  grammar_seeds();
  token_file_seeds();
  grammar_read_seeds();
}

}  // namespace vxfuzz
