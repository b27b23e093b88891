#include "common/line_scan.h"

#include "common/diagnosis.h"
#include "common/strings.h"

int line_read(std::FILE* f, char16_t* buffer, char16_t** lstr) {
  *lstr = buffer;
  sUInt n = 0;
  while (n < kLineCapacity - 1) {
    int c = std::getc(f);
    if (c == EOF) break;
    if (c == 0) {
      // A zero byte ends the line's text; the rest of the line is consumed.
      buffer[n] = 0;
      while (++n < kLineCapacity - 1 && (c = std::getc(f)) != EOF && c != '\n') {
      }
      return 1;
    }
    // Sign extension: bytes 0x80-0xFF become units 0xFF80-0xFFFF.
    buffer[n++] = static_cast<char16_t>(static_cast<sInt>(static_cast<signed char>(c)));
    if (c == '\n') break;
  }
  buffer[n] = 0;
  return n == 0 ? 0 : 1;
}

void line_skip_space(char16_t** lstr) {
  char16_t* p = *lstr;
  while (*p != 0 && wc_is_space(*p)) ++p;
  *lstr = p;
}

int line_strcmp(char16_t** lstr, const char16_t* keyword) {
  line_skip_space(lstr);
  char16_t* p = *lstr;
  for (const char16_t* k = keyword; *k != 0; ++k, ++p) {
    if (*p != *k) return 0;
  }
  *lstr = p;
  return 1;
}

sUInt line_get_word(char16_t** lstr, char16_t stop, char16_t* out) {
  line_skip_space(lstr);
  char16_t* p = *lstr;
  sUInt n = 0;
  while (*p != 0 && !wc_is_space(*p) && (stop == kNoStop || *p != stop)) out[n++] = *p++;
  out[n] = 0;
  *lstr = p;
  return n;
}

void line_skip_word(char16_t** lstr, char16_t stop) {
  line_skip_space(lstr);
  char16_t* p = *lstr;
  while (*p != 0 && !wc_is_space(*p) && (stop == kNoStop || *p != stop)) ++p;
  *lstr = p;
}

void sLinePlace::next(const char16_t* buffer) {
  if (line_ended_) {
    ++line;
    chars_before = 0;
  } else {
    chars_before += chars_read_;
  }
  const sUInt length = wstr_len(buffer);
  chars_read_ = widened_column(buffer, buffer + length) - 1;
  // A buffer that is not full ended its line (a zero byte ends it too).
  line_ended_ = length < kLineCapacity - 1 || buffer[length - 1] == u'\n';
}

sUInt sLinePlace::column(const char16_t* buffer, const char16_t* at) const {
  return chars_before + widened_column(buffer, at);
}
