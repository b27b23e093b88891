// Arbitrary bytes as the body of a binary token file, read against the
// fixed grammars (the shipped ones and a recursive one). No read may leave
// the body, and a match that fails must give back everything it read: the
// position where it started and a tree with nothing linked.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "container/fioshare.h"
#include "reader_fuzz.h"
#include "shape/binary_reader.h"
#include "shape/conversion.h"
#include "shape/token_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::conversion();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  sBNFTable* table = vxfuzz::pick_grammar(data[0]);
  const std::string bytes = vxfuzz::binary_token_file(table, vxfuzz::bytes_of(data + 1, size - 1));
  const std::u16string path = vxfuzz::put_file("input.sb", bytes);
  sConversion& conv = vxfuzz::conversion();
  sShapeFile* file = read_token_file(conv, path.c_str(), table, nullptr);
  // The error position is an offset inside the body.
  if (conv.error_position > bytes.size() - kContainerHeaderBytes) std::abort();
  free_shape_file(file);

  // The same body matched directly, from an exact-size copy, so that a read
  // one byte past its end is caught.
  const std::vector<sByte> body(bytes.begin() + kContainerHeaderBytes, bytes.end());
  sShapeArena* arena = shape_arena_create();
  sShapeItemNode* root = arena != nullptr ? shape_node_create(nullptr, arena) : nullptr;
  if (root == nullptr) {
    shape_arena_release(arena);
    return 0;
  }
  sBNFSubtoken entry{table->root_token, nullptr};
  root->type = SHN_PARENT;
  root->bnf_entry = &entry;
  sShapeItemNode* cursor = root;
  sUInt position = kBodyHeaderBytes;
  int resolved = 0;
  const int matched = match_binary(conv, arena, body.data(), static_cast<sUInt>(body.size()), &position, &entry,
                                   &cursor, &resolved);
  if (position < kBodyHeaderBytes || position > body.size()) std::abort();
  if (!matched && (position != kBodyHeaderBytes || root->child != nullptr || cursor != root)) std::abort();
  shape_tree_free(root, arena);
  shape_arena_release(arena);
  return 0;
}
