// Arbitrary code tables and coded data through the mark-B decoder.
//
// Input: 2 bytes of expected length (little-endian), the 308-byte code
// table, then the coded data. The decoder must never write past the
// expected length, must refuse exactly the tables that are not a complete
// code, and must be deterministic.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "container/huffman.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 + kHuffTableBytes) return 0;
  const sUInt expected = static_cast<sUInt>(data[0]) | (static_cast<sUInt>(data[1]) << 8);
  const sByte* table = data + 2;
  // Exact-size copies, so that AddressSanitizer sees every read past the end.
  const std::vector<sByte> coded(data + 2 + kHuffTableBytes, data + size);
  const sUInt coded_length = static_cast<sUInt>(coded.size());
  auto* output = static_cast<sByte*>(std::malloc(expected == 0 ? 1 : expected));
  auto* again = static_cast<sByte*>(std::malloc(expected == 0 ? 1 : expected));

  const sUInt produced = huff_decode(table, coded.empty() ? nullptr : coded.data(), coded_length, output, expected);
  if (produced == kHuffTableRefused) {
    if (huff_table_is_complete(table)) std::abort();
  } else {
    if (!huff_table_is_complete(table)) std::abort();
    if (produced > expected) std::abort();
    const sUInt second = huff_decode(table, coded.empty() ? nullptr : coded.data(), coded_length, again, expected);
    if (second != produced || std::memcmp(output, again, produced) != 0) std::abort();
  }
  std::free(output);
  std::free(again);
  return 0;
}
