// Byte-level operations on the in-memory body of an open token-file stream.
// Nothing here touches the disk; fioshare.cpp loads and stores the body.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>

#include "common/format.h"
#include "common/memory.h"
#include "container/fioshare.h"

namespace {

constexpr sUInt kPrintfCapacity = 2048;  // units, terminator included
constexpr std::uint64_t kMaxBody = 0xFFFFFFFFull;
constexpr std::uint64_t kMinCapacity = 256;

}  // namespace

sUInt fioshare_write_grow(sFioShareFile* stream, const void* src, sUInt count) {
  // A direct stream holds no body: every write goes to the file.
  if (stream->direct) return fioshare_write_direct_bytes(stream, src, count);
  const std::uint64_t end = static_cast<std::uint64_t>(stream->position) + count;
  if (end > kMaxBody) return kWriteFailed;
  if (end > stream->capacity) {
    // Grow geometrically: writers append many small records, and exact-size
    // growth would make that quadratic.
    std::uint64_t capacity = static_cast<std::uint64_t>(stream->capacity) * 2;
    if (capacity < kMinCapacity) capacity = kMinCapacity;
    if (capacity < end) capacity = end;
    if (capacity > kMaxBody) capacity = kMaxBody;
    // A large block grows where it is (its pages are remapped, not copied).
    auto* grown = static_cast<sByte*>(vexlor_mem_resize(stream->body, static_cast<sUInt>(capacity)));
    if (grown == nullptr) return kWriteFailed;
    stream->body = grown;
    stream->capacity = static_cast<sUInt>(capacity);
  }
  std::memcpy(stream->body + stream->position, src, count);
  stream->position += count;
  if (stream->position > stream->body_size) stream->body_size = stream->position;
  return count;
}

sUInt fioshare_seek(sFioShareFile* stream, sUInt offset, int origin) {
  sUInt target = 0;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = stream->body_size + offset;  // wraps: a negative offset counts back
      break;
    case 2:
      target = stream->position + offset;
      break;
    default:
      return kSeekFailed;
  }
  if (target > stream->body_size) return kSeekFailed;
  stream->position = target;
  return target;
}


sFioShareComp fioshare_get_comp(sFioShareFile* stream) {
  switch (stream->header[kHeaderMarkOffset]) {
    case 'B':
      return FIO_COMP_HUFF;
    case 'F':
      return FIO_COMP_ZLIB;
    default:
      return FIO_COMP_NONE;
  }
}

sUInt fioshare_is_unicode(sFioShareFile* stream) { return stream->unicode; }

int fioshare_printf(sFioShareFile* stream, const char16_t* format, ...) {
  char16_t text[kPrintfCapacity];
  va_list args;
  va_start(args, format);
  const sUInt length = vformat_text_n(text, kPrintfCapacity, format, args);
  va_end(args);
  // Longer output would have been cut; refuse it rather than write a part.
  if (length >= kPrintfCapacity) return 0;

  sByte bytes[2 * kPrintfCapacity];
  for (sUInt i = 0; i < length; ++i) {
    bytes[2 * i] = static_cast<sByte>(text[i]);
    bytes[2 * i + 1] = static_cast<sByte>(text[i] >> 8);
  }
  return fioshare_write(stream, bytes, 2 * length) == 2 * length ? 1 : 0;
}
