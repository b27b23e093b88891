#include "common/text_convert.h"

#include "platform/platform.h"

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

const char* wstr_to_ansi(const char16_t* src, char (&out)[kAnsiBufferBytes]) {
  out[0] = 0;
  if (src == nullptr || src[0] == 0) return out;
  if (!platform::utf16_to_ansi(src, out, kAnsiBufferBytes)) out[kAnsiBufferBytes - 1] = 0;
  return out;
}

const char16_t* ansi_to_wstr(const char* src, char16_t (&out)[kWideBufferUnits]) {
  out[0] = 0;
  if (src == nullptr || src[0] == 0) return out;
  if (!platform::ansi_to_utf16(src, out, kWideBufferUnits)) out[0] = 0;
  return out;
}
