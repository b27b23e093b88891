#include "common/format.h"

#include <cstdio>
#include <cstring>

#include "common/strings.h"

namespace {

struct Out {
  char16_t* buffer;
  sUInt capacity;
  sUInt length = 0;
  void put(char16_t c) {
    if (length + 1 < capacity) buffer[length] = c;
    ++length;
  }
  void pad(sUInt n, char16_t c) {
    for (sUInt i = 0; i < n; ++i) put(c);
  }
};

struct Spec {
  bool left = false, zero = false, plus = false, space = false, alt = false;
  int width = 0;
  int precision = -1;
};

void put_field(Out& out, const Spec& spec, const char16_t* text, sUInt len) {
  sUInt width = spec.width > 0 ? static_cast<sUInt>(spec.width) : 0;
  sUInt padding = width > len ? width - len : 0;
  if (!spec.left) out.pad(padding, u' ');
  for (sUInt i = 0; i < len; ++i) out.put(text[i]);
  if (spec.left) out.pad(padding, u' ');
}

void put_narrow_field(Out& out, const Spec& spec, const char* text, sUInt len) {
  sUInt width = spec.width > 0 ? static_cast<sUInt>(spec.width) : 0;
  sUInt padding = width > len ? width - len : 0;
  if (!spec.left) out.pad(padding, u' ');
  for (sUInt i = 0; i < len; ++i) out.put(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
  if (spec.left) out.pad(padding, u' ');
}

// Numbers and floats are formatted by the C library on 8-bit text (they only
// ever produce ASCII) and widened.
void put_number(Out& out, const Spec& spec, char conv, va_list& args) {
  char fmt[32];
  int n = 0;
  fmt[n++] = '%';
  if (spec.left) fmt[n++] = '-';
  if (spec.zero) fmt[n++] = '0';
  if (spec.plus) fmt[n++] = '+';
  if (spec.space) fmt[n++] = ' ';
  if (spec.alt) fmt[n++] = '#';
  n += std::snprintf(fmt + n, sizeof fmt - n, "*.*");
  char text[512];
  int len = 0;
  switch (conv) {
    case 'd':
    case 'i': {
      fmt[n++] = 'd';
      fmt[n] = 0;
      int v = va_arg(args, int);
      len = std::snprintf(text, sizeof text, fmt, spec.width, spec.precision, v);
      break;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
      fmt[n++] = conv;
      fmt[n] = 0;
      unsigned v = va_arg(args, unsigned);
      len = std::snprintf(text, sizeof text, fmt, spec.width, spec.precision, v);
      break;
    }
    default: {
      fmt[n++] = conv;
      fmt[n] = 0;
      double v = va_arg(args, double);
      len = std::snprintf(text, sizeof text, fmt, spec.width, spec.precision, v);
      break;
    }
  }
  if (len < 0) len = 0;
  if (len >= static_cast<int>(sizeof text)) len = sizeof text - 1;
  Spec plain;
  put_narrow_field(out, plain, text, static_cast<sUInt>(len));
}

}  // namespace

sUInt vformat_text_n(char16_t* buffer, sUInt capacity, const char16_t* format, va_list args_in) {
  va_list args;
  va_copy(args, args_in);
  Out out{buffer, capacity};
  for (const char16_t* p = format; *p != 0; ++p) {
    if (*p != u'%') {
      out.put(*p);
      continue;
    }
    ++p;
    if (*p == u'%') {
      out.put(u'%');
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == u'-') spec.left = true;
      else if (*p == u'0') spec.zero = true;
      else if (*p == u'+') spec.plus = true;
      else if (*p == u' ') spec.space = true;
      else if (*p == u'#') spec.alt = true;
      else break;
    }
    if (*p == u'*') {
      spec.width = va_arg(args, int);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = -spec.width;
      }
      ++p;
    } else {
      while (wc_is_digit(*p)) spec.width = spec.width * 10 + (*p++ - u'0');
    }
    if (*p == u'.') {
      ++p;
      spec.precision = 0;
      if (*p == u'*') {
        spec.precision = va_arg(args, int);
        ++p;
      } else {
        while (wc_is_digit(*p)) spec.precision = spec.precision * 10 + (*p++ - u'0');
      }
    }
    while (*p == u'l' || *p == u'h') ++p;
    switch (*p) {
      case u's': {
        const char16_t* s = va_arg(args, const char16_t*);
        if (s == nullptr) s = u"(null)";
        sUInt len = wstr_len(s);
        if (spec.precision >= 0 && static_cast<sUInt>(spec.precision) < len) len = static_cast<sUInt>(spec.precision);
        put_field(out, spec, s, len);
        break;
      }
      case u'S': {
        const char* s = va_arg(args, const char*);
        if (s == nullptr) s = "(null)";
        sUInt len = static_cast<sUInt>(std::strlen(s));
        if (spec.precision >= 0 && static_cast<sUInt>(spec.precision) < len) len = static_cast<sUInt>(spec.precision);
        put_narrow_field(out, spec, s, len);
        break;
      }
      case u'c': {
        char16_t c = static_cast<char16_t>(va_arg(args, int));
        put_field(out, spec, &c, 1);
        break;
      }
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X':
      case u'o':
      case u'e':
      case u'E':
      case u'f':
      case u'F':
      case u'g':
      case u'G':
        put_number(out, spec, static_cast<char>(*p), args);
        break;
      case 0:
        --p;  // a lone "%" at the end: stop at the terminator
        break;
      default:
        out.put(u'%');
        out.put(*p);
        break;
    }
  }
  va_end(args);
  if (capacity != 0) buffer[out.length < capacity ? out.length : capacity - 1] = 0;
  return out.length;
}

sUInt format_text_n(char16_t* buffer, sUInt capacity, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  sUInt n = vformat_text_n(buffer, capacity, format, args);
  va_end(args);
  return n;
}

sUInt format_text(char16_t* buffer, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  sUInt n = vformat_text_n(buffer, 65536u, format, args);
  va_end(args);
  return n;
}
