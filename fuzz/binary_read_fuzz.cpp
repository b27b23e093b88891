// Arbitrary bytes as the body of a binary token file, read against the
// fixed grammars (the shipped ones and a recursive one). No read may leave
// the body, and the reader's position stack must be empty afterwards.
#include <cstdint>
#include <cstdlib>

#include "bnf/tokenizer.h"
#include "container/fioshare.h"
#include "reader_fuzz.h"
#include "shape/binary_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::fixture_grammars();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  sBNFTable* table = vxfuzz::pick_grammar(data[0]);
  const std::string bytes = vxfuzz::binary_token_file(table, vxfuzz::bytes_of(data + 1, size - 1));
  const std::u16string path = vxfuzz::put_file("input.sb", bytes);
  sShapeFile* file = read_token_file(path.c_str(), table, nullptr);
  if (binary_reader_stack_depth() != 0) std::abort();
  // The error position is an offset inside the body.
  if (error_position > bytes.size() - kContainerHeaderBytes) std::abort();
  free_shape_file(file);
  return 0;
}
