// Arbitrary bytes as a token file to dump: any container, any body header,
// blocks whose sizes and names run anywhere. The dump must show every file
// it opens, with the token table and without, and never break a line.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_support.h"
#include "shape/binary_dump.h"

namespace {

void check_line(void* lines, std::string_view line) {
  if (line.find('\n') != std::string_view::npos) std::abort();
  ++*static_cast<std::size_t*>(lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  static const sTokenTable& tokens = vxfuzz::fixture_tokens();
  for (const sTokenTable* table : {&tokens, static_cast<const sTokenTable*>(nullptr)}) {
    std::size_t lines = 0;
    const sDumpSink sink{check_line, &lines};
    dump_token_bytes(data, static_cast<sUInt>(size), table, sink);
    // Something is always said, if only that the file is none.
    if (lines == 0) std::abort();
  }
  return 0;
}
