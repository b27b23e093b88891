// Arbitrary UTF-16 text as the body of a text token file, read against the
// fixed grammars (the shipped ones and a recursive one). Whatever reads is
// written in both forms, so the writers see every tree the reader can make.
//
// The text form is canonical: the text written for a tree that was read
// from text must read back, and writing that again must give the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "container/fioshare.h"
#include "reader_fuzz.h"
#include "shape/binary_writer.h"
#include "shape/conversion.h"
#include "shape/text_writer.h"
#include "shape/token_file.h"

namespace {

[[noreturn]] void fail(const char* why) {
  std::fprintf(stderr, "text read: %s\n", why);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::conversion();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  sBNFTable* table = vxfuzz::pick_grammar(data[0]);
  const std::u16string path =
      vxfuzz::put_file("input.s", vxfuzz::text_token_file(table, vxfuzz::bytes_of(data + 1, size - 1)));
  sUInt comp = 0;
  sConversion& conv = vxfuzz::conversion();
  sShapeFile* file = read_token_file(conv, path.c_str(), table, &comp);
  if (vxfuzz::conversion_tokenizer_open()) std::abort();
  if (file == nullptr) return 0;
  if (comp != FIO_COMP_NONE) std::abort();
  sShapeItemNode* first = vxfuzz::start_node(file);
  if (first != nullptr) {
    static const std::u16string binary = vxfuzz::work_path("out.sb"), text = vxfuzz::work_path("out.s"),
                                again_text = vxfuzz::work_path("again.s");
    write_binary_file(conv, binary.c_str(), table, file, first, FIO_COMP_NONE);
    if (!write_text_file(conv, text.c_str(), file, first, FIO_COMP_NONE)) fail("a tree read from text does not write");
    sShapeFile* again = read_token_file(conv, text.c_str(), table, nullptr);
    if (again == nullptr) fail("the text written does not read back");
    sShapeItemNode* again_first = vxfuzz::start_node(again);
    if (again_first == nullptr || !write_text_file(conv, again_text.c_str(), again, again_first, FIO_COMP_NONE)) {
      fail("the text read back does not write");
    }
    free_shape_file(again);
    if (vxfuzz::read_file("out.s") != vxfuzz::read_file("again.s")) fail("the text form changed on a second pass");
  }
  free_shape_file(file);
  return 0;
}
