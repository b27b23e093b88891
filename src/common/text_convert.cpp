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

namespace {

bool is_high_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The length of the well-formed sequence at `p` (of `left` bytes) and its
// code point, or 0.
unsigned utf8_sequence(const unsigned char* p, std::size_t left, char32_t* cp) {
  const unsigned char b = p[0];
  if (b < 0x80) {
    *cp = b;
    return 1;
  }
  // The lead byte gives the length, its payload bits and the least code
  // point that needs that length (anything below is an overlong form).
  unsigned length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    value = b & 0x1F;
    least = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    value = b & 0x0F;
    least = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    value = b & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (unsigned i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return length;
}

}  // namespace

bool utf8_to_utf16_marked(std::string_view src, std::u16string& out) {
  bool clean = true;
  const auto* p = reinterpret_cast<const unsigned char*>(src.data());
  std::size_t left = src.size();
  while (left > 0) {
    char32_t cp = 0;
    const unsigned length = utf8_sequence(p, left, &cp);
    if (length == 0) {
      out += static_cast<char16_t>(0xDC00 + *p);
      clean = false;
      ++p;
      --left;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    p += length;
    left -= length;
  }
  return clean;
}

bool utf16_to_utf8_strict(const char16_t* src, std::string& out) {
  out.clear();
  if (src == nullptr) return true;
  for (const char16_t* p = src; *p != 0; ++p) {
    char32_t cp = *p;
    if (is_high_surrogate(cp) && is_low_surrogate(p[1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (is_high_surrogate(cp) || is_low_surrogate(cp)) {
      return false;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return true;
}

bool utf16_well_formed(const char16_t* text) {
  if (text == nullptr) return true;
  for (const char16_t* p = text; *p != 0; ++p) {
    if (is_high_surrogate(*p) && is_low_surrogate(p[1])) {
      ++p;
    } else if (is_high_surrogate(*p) || is_low_surrogate(*p)) {
      return false;
    }
  }
  return true;
}
