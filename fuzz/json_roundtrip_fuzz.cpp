// For any bytes that read as a binary body: writing the tree as binary
// gives B1; writing it as JSON (J1), reading that back and writing the
// result as binary gives B2, and as JSON J2. B1 must equal B2 and J1 equal
// J2. Trees with a NaN that carries a payload are exempt: JSON keeps a
// NaN's sign, not its payload, as the text form does.
//
// With the first byte's high bit set the rest is the content of a JSON
// document instead, behind a header for the picked grammar: whatever reads
// must round-trip the same way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "container/fioshare.h"
#include "reader_fuzz.h"
#include "shape/binary_writer.h"
#include "shape/conversion.h"
#include "shape/json_writer.h"
#include "shape/token_file.h"

namespace {

[[noreturn]] void fail(const char* why) {
  std::fprintf(stderr, "JSON round trip: %s\n", why);
  std::abort();
}

bool holds_lossy_nan(const sShapeItemNode* node) {
  for (; node != nullptr; node = node->next) {
    if (vxfuzz::is_lossy_nan(node->type, node->value)) return true;
    if (node->type == SHN_RUN) {
      for (sUInt i = 0; i < shape_run_count(node); ++i) {
        if (vxfuzz::is_lossy_nan(shape_run_type(node, i), shape_run_value(node, i))) return true;
      }
    }
    if (holds_lossy_nan(node->child)) return true;
  }
  return false;
}

std::string json_document(const sBNFTable* table, std::string_view content) {
  const std::string header = vxfuzz::body_header(table, 't');
  return "{\"header\": {\"format\": \"0\", \"type\": " + std::to_string(static_cast<unsigned char>(header[5])) +
         ", \"version\": " + std::to_string(static_cast<unsigned char>(header[6])) +
         ", \"carried\": \"2020202020202020\"}, \"content\": [" + std::string(content);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::conversion();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  sBNFTable* table = vxfuzz::pick_grammar(data[0] & 0x7F);
  const std::string_view rest = vxfuzz::bytes_of(data + 1, size - 1);
  const std::u16string path = (data[0] & 0x80) != 0
                                  ? vxfuzz::put_file("input.json", json_document(table, rest))
                                  : vxfuzz::put_file("input.sb", vxfuzz::binary_token_file(table, rest));
  sConversion& conv = vxfuzz::conversion();
  sShapeFile* file = read_token_file(conv, path.c_str(), table, nullptr);
  if (file == nullptr) return 0;
  sShapeItemNode* first = vxfuzz::start_node(file);
  if (first == nullptr || holds_lossy_nan(file->first)) {
    free_shape_file(file);
    return 0;
  }
  static const std::u16string b1 = vxfuzz::work_path("b1.sb"), b2 = vxfuzz::work_path("b2.sb"),
                              j1 = vxfuzz::work_path("j1.json"), j2 = vxfuzz::work_path("j2.json");
  if (!write_binary_file(conv, b1.c_str(), table, file, first, FIO_COMP_NONE)) {
    // A tree the binary form cannot hold (a string or name too long).
    free_shape_file(file);
    return 0;
  }
  if (!write_json_file(conv, j1.c_str(), file, file->first)) fail("JSON write of a read tree failed");
  free_shape_file(file);

  sShapeFile* again = read_token_file(conv, j1.c_str(), table, nullptr);
  if (again == nullptr) fail("the JSON written does not read back");
  sShapeItemNode* again_first = vxfuzz::start_node(again);
  if (again_first == nullptr || !write_binary_file(conv, b2.c_str(), table, again, again_first, FIO_COMP_NONE)) {
    fail("binary write of the JSON read failed");
  }
  if (!write_json_file(conv, j2.c_str(), again, again->first)) fail("JSON write of the JSON read failed");
  free_shape_file(again);
  if (vxfuzz::read_file("b1.sb") != vxfuzz::read_file("b2.sb")) fail("B1 and B2 differ");
  if (vxfuzz::read_file("j1.json") != vxfuzz::read_file("j2.json")) fail("J1 and J2 differ");
  return 0;
}
