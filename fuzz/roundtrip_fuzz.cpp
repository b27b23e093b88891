// For any bytes that read as a binary body: writing the tree as binary
// gives B1; writing it as text, reading that text back and writing the
// result as binary gives B2; B1 must equal B2. Trees whose texts hold a
// carriage return, or with a NaN that carries a payload, are exempt: the
// text form drops those by design.
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
  std::fprintf(stderr, "round trip: %s\n", why);
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
      vxfuzz::put_file("input.sb", vxfuzz::binary_token_file(table, vxfuzz::bytes_of(data + 1, size - 1)));
  sConversion& conv = vxfuzz::conversion();
  sShapeFile* file = read_token_file(conv, path.c_str(), table, nullptr);
  if (file == nullptr) return 0;
  sShapeItemNode* first = vxfuzz::start_node(file);
  if (first == nullptr || vxfuzz::holds_text_form_losses(file->first)) {
    free_shape_file(file);
    return 0;
  }
  static const std::u16string b1 = vxfuzz::work_path("b1.sb"), b2 = vxfuzz::work_path("b2.sb"),
                              text = vxfuzz::work_path("t.s");
  if (!write_binary_file(conv, b1.c_str(), table, file, first, FIO_COMP_NONE)) fail("binary write of a binary read failed");
  if (!write_text_file(conv, text.c_str(), file, first, FIO_COMP_NONE)) fail("text write of a binary read failed");
  free_shape_file(file);

  sShapeFile* again = read_token_file(conv, text.c_str(), table, nullptr);
  if (again == nullptr) fail("the text written does not read back");
  sShapeItemNode* again_first = vxfuzz::start_node(again);
  if (again_first == nullptr || !write_binary_file(conv, b2.c_str(), table, again, again_first, FIO_COMP_NONE)) {
    fail("binary write of the text read failed");
  }
  free_shape_file(again);
  if (vxfuzz::read_file("b1.sb") != vxfuzz::read_file("b2.sb")) fail("B1 and B2 differ");
  return 0;
}
