// Any data encoded with the mark-B codec decodes to the same data; an output
// buffer too small for the result makes the encoder fail without writing
// past it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "container/huffman.h"

namespace {

sUInt le32(const sByte* p) {
  return static_cast<sUInt>(p[0]) | (static_cast<sUInt>(p[1]) << 8) | (static_cast<sUInt>(p[2]) << 16) |
         (static_cast<sUInt>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const sUInt n = static_cast<sUInt>(size);
  const sUInt capacity = n + 1024;  // what the container provides
  auto* encoded = static_cast<sByte*>(std::malloc(capacity));
  sUInt length = 0;
  if (!huff_encode(data, n, encoded, capacity, &length)) {
    std::free(encoded);
    return 0;
  }
  if (length < kHuffTableBytes + 4 || length > capacity) std::abort();
  if (le32(encoded) != length - kHuffTableBytes || le32(encoded + 4) != n) std::abort();
  if (!huff_table_is_complete(encoded)) std::abort();

  auto* decoded = static_cast<sByte*>(std::malloc(n == 0 ? 1 : n));
  if (huff_decode(encoded, encoded + kHuffTableBytes, length - kHuffTableBytes, decoded, n) != n) std::abort();
  if (n != 0 && std::memcmp(decoded, data, n) != 0) std::abort();

  // Decoding into a shorter buffer stops at its end.
  if (n > 0) {
    const sUInt shorter = n / 2;
    auto* part = static_cast<sByte*>(std::malloc(shorter == 0 ? 1 : shorter));
    if (huff_decode(encoded, encoded + kHuffTableBytes, length - kHuffTableBytes, part, shorter) != shorter) std::abort();
    if (shorter != 0 && std::memcmp(part, data, shorter) != 0) std::abort();
    std::free(part);
  }

  // One byte less room than the result needs: the encoder must refuse.
  auto* tight = static_cast<sByte*>(std::malloc(length - 1));
  sUInt tight_length = 0;
  if (huff_encode(data, n, tight, length - 1, &tight_length)) std::abort();
  std::free(tight);

  std::free(decoded);
  std::free(encoded);
  return 0;
}
