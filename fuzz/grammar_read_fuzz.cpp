// Arbitrary grammars reading arbitrary bodies: the readers must hold up
// under grammars nobody would write (empty constructs, unfilled entries,
// left recursion, literals that are brackets), not only under the fixed set.
//
// Input: one byte N, then N * 8 bytes of grammar text (UTF-16, the file type
// and version statements are supplied), then a body that is read twice,
// once as a text body and once as a binary body.
//
// Whatever grammar it is, the text form stays canonical: the text written
// for a tree read from text reads back and writes the same bytes again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bnf/bnf_parser.h"
#include "container/fioshare.h"
#include "reader_fuzz.h"
#include "shape/conversion.h"
#include "shape/text_writer.h"
#include "shape/token_file.h"

namespace {

[[noreturn]] void fail(const char* why) {
  std::fprintf(stderr, "grammar read: %s\n", why);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::conversion();  // the token names, and the conversion the reads go through
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t grammar_bytes = std::size_t(data[0]) * 8;
  if (size - 1 < grammar_bytes) return 0;
  const std::string grammar = "\xFF\xFE" + vxfuzz::widen("FILE_TYPE = \"g\" . FILE_TYPE_VER = \"1\" .\n") +
                              std::string(vxfuzz::bytes_of(data + 1, grammar_bytes));
  sBNFTable* table = parse_bnf_file(vxfuzz::grammar_tokenizer(), vxfuzz::reporter(), vxfuzz::fixture_tokens(),
                                    vxfuzz::put_file("input.bnf", grammar).c_str());
  if (table == nullptr) return 0;
  const std::string_view body = vxfuzz::bytes_of(data + 1 + grammar_bytes, size - 1 - grammar_bytes);

  sConversion& conv = vxfuzz::conversion();
  sShapeFile* file = read_token_file(
      conv, vxfuzz::put_file("input.s", vxfuzz::text_token_file(table, body)).c_str(), table, nullptr);
  if (vxfuzz::conversion_tokenizer_open()) std::abort();
  if (file != nullptr && vxfuzz::start_node(file) != nullptr) {
    static const std::u16string text = vxfuzz::work_path("out.s"), again_text = vxfuzz::work_path("again.s");
    // Only trees made of blocks and arrays can be written (a root that
    // yields bare values cannot); those that can must come back the same.
    sShapeFile* again = write_text_file(conv, text.c_str(), file, vxfuzz::start_node(file), FIO_COMP_NONE)
                            ? read_token_file(conv, text.c_str(), table, nullptr)
                            : file;
    if (again == nullptr) fail("the text written does not read back");
    if (again != file) {
      if (vxfuzz::start_node(again) == nullptr ||
          !write_text_file(conv, again_text.c_str(), again, vxfuzz::start_node(again), FIO_COMP_NONE)) {
        fail("the text read back does not write");
      }
      free_shape_file(again);
      if (vxfuzz::read_file("out.s") != vxfuzz::read_file("again.s")) fail("the text form changed on a second pass");
    }
  }
  free_shape_file(file);
  const std::string binary = vxfuzz::binary_token_file(table, body);
  file = read_token_file(conv, vxfuzz::put_file("input.sb", binary).c_str(), table, nullptr);
  // No read leaves the body.
  if (conv.error_position > binary.size() - kContainerHeaderBytes) std::abort();
  free_shape_file(file);
  destroy_bnf_table(table);
  return 0;
}
