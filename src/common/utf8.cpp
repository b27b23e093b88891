#include "common/utf8.h"

#include <cstring>
#include <string>

bool utf8_to_utf16(const char* src, char16_t* dst, unsigned capacity) {
  unsigned n = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(src);
  while (*p != 0) {
    char32_t cp;
    int extra;
    if (*p < 0x80) {
      cp = *p;
      extra = 0;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      cp = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      cp = *p & 0x07;
      extra = 3;
    } else {
      cp = 0xFFFD;
      extra = -1;
    }
    ++p;
    if (extra > 0) {
      for (int i = 0; i < extra; ++i) {
        if ((*p & 0xC0) != 0x80) {
          cp = 0xFFFD;
          break;
        }
        cp = (cp << 6) | (*p++ & 0x3F);
      }
    } else if (extra < 0) {
      cp = 0xFFFD;
    }
    if (cp > 0x10FFFF) cp = 0xFFFD;
    if (cp >= 0x10000) {
      if (n + 2 >= capacity) return false;
      cp -= 0x10000;
      dst[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      dst[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      if (n + 1 >= capacity) return false;
      dst[n++] = static_cast<char16_t>(cp);
    }
  }
  if (n >= capacity) return false;
  dst[n] = 0;
  return true;
}

bool utf16_to_utf8(const char16_t* src, char* dst, unsigned capacity) {
  unsigned n = 0;
  for (const char16_t* p = src; *p != 0; ++p) {
    char32_t cp = *p;
    if (cp >= 0xD800 && cp <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    char bytes[4];
    unsigned len;
    if (cp < 0x80) {
      bytes[0] = static_cast<char>(cp);
      len = 1;
    } else if (cp < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
      bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 2;
    } else if (cp < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
      bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
      bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 4;
    }
    if (n + len >= capacity) {
      dst[n] = 0;  // the cut text
      return false;
    }
    std::memcpy(dst + n, bytes, len);
    n += len;
  }
  if (n >= capacity) return false;
  dst[n] = 0;
  return true;
}

// The texts at the API stop at a zero unit, as every text of the program.
std::u16string utf8_to_u16(std::string_view text) {
  // No UTF-16 text needs more units than its UTF-8 form has bytes.
  const std::string terminated(text);
  std::u16string out(terminated.size() + 1, u'\0');
  if (!utf8_to_utf16(terminated.c_str(), out.data(), static_cast<unsigned>(out.size()))) return {};
  out.resize(std::char_traits<char16_t>::length(out.c_str()));
  return out;
}

std::string u16_to_utf8(std::u16string_view text) {
  // A unit takes at most three bytes, a surrogate pair four.
  const std::u16string terminated(text);
  std::string out(3 * terminated.size() + 1, '\0');
  if (!utf16_to_utf8(terminated.c_str(), out.data(), static_cast<unsigned>(out.size()))) return {};
  out.resize(std::char_traits<char>::length(out.c_str()));
  return out;
}
