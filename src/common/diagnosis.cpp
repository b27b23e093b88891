#include "common/diagnosis.h"

#include <utility>

void diagnose(sFileDiagnosis* into, const std::u16string& file, sUInt line, sUInt column, std::u16string what) {
  if (into == nullptr || into->given()) return;
  into->file = file;
  into->line = line;
  into->column = line == 0 ? 0 : column;
  into->what = std::move(what);
}

std::u16string quoted(std::u16string_view text) {
  constexpr std::size_t kLongest = 40;
  std::u16string out = u"'";
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool low_surrogate = c >= 0xDC00 && c <= 0xDFFF;
    if (!low_surrogate && chars++ == kLongest) {
      out += u"...";
      break;
    }
    out += c;
  }
  out += u'\'';
  return out;
}

std::u16string quoted_bytes(const sByte* bytes, sUInt count) {
  constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out = u"'";
  for (sUInt i = 0; i < count; ++i) {
    const sByte b = bytes[i];
    if (b >= 0x20 && b < 0x7F && b != '\\' && b != '\'') {
      out += static_cast<char16_t>(b);
    } else {
      out += u"\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  out += u'\'';
  return out;
}

sUInt widened_column(const char16_t* line_start, const char16_t* at) {
  sUInt column = 1;
  for (const char16_t* p = line_start; p < at; ++p) {
    // Bytes 0x80-0xBF widen to 0xFF80-0xFFBF.
    if (!(*p >= 0xFF80 && *p <= 0xFFBF)) ++column;
  }
  return column;
}
