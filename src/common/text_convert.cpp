#include "common/text_convert.h"

#include "platform/platform.h"

namespace {
char ansi_ring[4][kAnsiBufferBytes];
char16_t wide_ring[4][kWideBufferUnits];
unsigned ansi_index = 0;
unsigned wide_index = 0;
}  // namespace

void str_to_wstr(char16_t* dst, const char* src, sUInt n) {
  if (n == 0) return;
  sUInt i = 0;
  for (; i + 1 < n && src[i] != 0; ++i) {
    dst[i] = static_cast<char16_t>(static_cast<sInt>(static_cast<signed char>(src[i])));
  }
  dst[i] = 0;
}

char* wstr_to_str(char* dst, const char16_t* src, sUInt n) {
  if (n == 0) return dst;
  sUInt i = 0;
  for (; i + 1 < n && src[i] != 0; ++i) dst[i] = static_cast<char>(src[i] & 0xFF);
  dst[i] = 0;
  return dst;
}

const char* wstr_to_ansi(const char16_t* src) {
  ansi_index = (ansi_index + 1) % 4;
  char* buffer = ansi_ring[ansi_index];
  buffer[0] = 0;
  if (src == nullptr || src[0] == 0) return buffer;
  if (!platform::utf16_to_ansi(src, buffer, kAnsiBufferBytes)) buffer[kAnsiBufferBytes - 1] = 0;
  return buffer;
}

const char16_t* ansi_to_wstr(const char* src) {
  wide_index = (wide_index + 1) % 4;
  char16_t* buffer = wide_ring[wide_index];
  buffer[0] = 0;
  if (src == nullptr || src[0] == 0) return buffer;
  if (!platform::ansi_to_utf16(src, buffer, kWideBufferUnits)) buffer[0] = 0;
  return buffer;
}
