#include "shape/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/memory.h"
#include "common/strings.h"

namespace {

const char16_t* skip_space(const char16_t* p) {
  while (wc_is_space(*p)) ++p;
  return p;
}

int digit_value(char16_t c, int base) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (base == 16) {
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  }
  return -1;
}

struct ScannedInteger {
  bool negative = false;
  bool overflow = false;  // the magnitude passed 64 bits
  std::uint64_t magnitude = 0;
};

// The integer conversions take: an optional sign, for base 16 an optional
// "0x" after a leading zero (the "x" is consumed but is no digit), then
// digits. A sign alone, or nothing, is no number.
int scan_integer(const char16_t* text, int base, ScannedInteger& n) {
  const char16_t* p = skip_space(text);
  if (*p == 0) return kScanEndOfText;
  if (*p == u'-' || *p == u'+') {
    n.negative = *p == u'-';
    ++p;
  }
  bool digits = false;
  if (*p == u'0') {
    digits = true;
    ++p;
    if (base == 16 && (*p == u'x' || *p == u'X')) ++p;
  }
  for (int d; (d = digit_value(*p, base)) >= 0; ++p) {
    digits = true;
    if (n.overflow) continue;
    if (n.magnitude > (UINT64_MAX - static_cast<unsigned>(d)) / static_cast<unsigned>(base)) {
      n.overflow = true;
    } else {
      n.magnitude = n.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
  }
  return digits ? kScanConverted : kScanNoMatch;
}

// strtoul with a 64-bit unsigned long, then the store into 32 bits.
sUInt as_unsigned32(const ScannedInteger& n) {
  if (n.overflow) return 0xFFFFFFFFu;
  std::uint64_t v = n.negative ? (0 - n.magnitude) : n.magnitude;
  return static_cast<sUInt>(v);
}

bool ascii_lower_is(char16_t c, char lower) { return wc_fold(c) == static_cast<char16_t>(lower); }

// Matches `word` (lower case) at p without regard to case; returns the
// units matched before the first difference.
sUInt match_word(const char16_t* p, const char* word) {
  sUInt i = 0;
  while (word[i] != 0 && ascii_lower_is(p[i], word[i])) ++i;
  return i;
}

// Value of the collected characters as strtof would give it. `chars` holds
// the number without its sign: digits, point and exponent of a decimal
// number, or the part after "0x" of a hexadecimal one.
float convert_float(const char* chars, std::size_t length, bool hexadecimal) {
  float value = 0.0f;
  const auto format = hexadecimal ? std::chars_format::hex : std::chars_format::general;
  auto [end, error] = std::from_chars(chars, chars + length, value, format);
  if (error == std::errc::invalid_argument) return 0.0f;  // "0x" without digits reads as 0
  if (error != std::errc::result_out_of_range) return value;
  // Out of range: strtof gives infinity for a value too large and the
  // rounded result (zero) for one too small. Which it is follows from the
  // exponent the digits and the exponent field give.
  long long scale = 0;  // decimal or binary order of magnitude
  bool before_point = true;
  bool seen_nonzero = false;
  const std::size_t count = static_cast<std::size_t>(end - chars);
  std::size_t i = 0;
  const char exponent_char = hexadecimal ? 'p' : 'e';
  const int digit_scale = hexadecimal ? 4 : 1;
  for (; i < count && chars[i] != exponent_char; ++i) {
    if (chars[i] == '.') {
      before_point = false;
    } else if (chars[i] != '0' || seen_nonzero) {
      seen_nonzero = true;
      if (before_point) scale += digit_scale;
    } else if (!before_point) {
      scale -= digit_scale;
    }
  }
  long long exponent = 0;
  bool exponent_negative = false;
  if (i < count) {
    ++i;
    if (i < count && (chars[i] == '-' || chars[i] == '+')) exponent_negative = chars[i++] == '-';
    for (; i < count; ++i) {
      if (exponent < 100000000) exponent = exponent * 10 + (chars[i] - '0');
    }
  }
  scale += exponent_negative ? -exponent : exponent;
  return scale > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
}

}  // namespace

int scan_sint_text(const char16_t* text, sInt* out) {
  ScannedInteger n;
  int result = scan_integer(text, 10, n);
  if (result != kScanConverted) return result;
  // strtol with a 64-bit long clamps, then the store keeps the low 32 bits.
  std::int64_t v;
  if (n.negative) {
    v = (n.overflow || n.magnitude > (std::uint64_t{1} << 63)) ? INT64_MIN
                                                                : static_cast<std::int64_t>(0 - n.magnitude);
  } else {
    v = (n.overflow || n.magnitude > static_cast<std::uint64_t>(INT64_MAX)) ? INT64_MAX
                                                                             : static_cast<std::int64_t>(n.magnitude);
  }
  *out = static_cast<sInt>(static_cast<sUInt>(static_cast<std::uint64_t>(v)));
  return kScanConverted;
}

int scan_uint_text(const char16_t* text, sUInt* out) {
  ScannedInteger n;
  int result = scan_integer(text, 10, n);
  if (result == kScanConverted) *out = as_unsigned32(n);
  return result;
}

int scan_hex_text(const char16_t* text, sUInt* out) {
  ScannedInteger n;
  int result = scan_integer(text, 16, n);
  if (result == kScanConverted) *out = as_unsigned32(n);
  return result;
}

namespace {

// The "%e" conversion: finds what it takes and, when `out` is given,
// converts it. Without `out` only the result is worked out.
int scan_float(const char16_t* text, float* out) {
  const char16_t* p = skip_space(text);
  if (*p == 0) return kScanEndOfText;
  bool negative = false;
  if (*p == u'-' || *p == u'+') {
    negative = *p == u'-';
    ++p;
    if (*p == 0) return kScanNoMatch;
  }
  float value = 0.0f;
  if (ascii_lower_is(*p, 'n')) {
    if (match_word(p, "nan") != 3) return kScanNoMatch;
    value = std::numeric_limits<float>::quiet_NaN();
  } else if (ascii_lower_is(*p, 'i')) {
    sUInt matched = match_word(p, "infinity");
    // "inf" alone is enough, but once "infi" is read the whole word must follow.
    if (matched < 3 || (matched > 3 && matched < 8)) return kScanNoMatch;
    value = std::numeric_limits<float>::infinity();
  } else {
    // Collect the characters the conversion takes, then convert them.
    const char16_t* start = p;
    bool hexadecimal = false;
    bool got_digit = false, got_dot = false, got_e = false;
    bool mantissa_digit = false;  // a digit before the exponent
    char exponent_char = 'e';
    if (*p == u'0') {
      ++p;
      if (*p == u'x' || *p == u'X') {
        hexadecimal = true;
        exponent_char = 'p';
        ++p;
      } else {
        got_digit = mantissa_digit = true;
      }
    }
    const char16_t* digits_start = hexadecimal ? p : start;
    for (;; ++p) {
      char16_t c = *p;
      if (wc_is_digit(c)) {
        got_digit = true;
        if (!got_e) mantissa_digit = true;
      } else if (!got_e && hexadecimal && wc_is_xdigit(c)) {
        got_digit = mantissa_digit = true;
      } else if (got_e && ascii_lower_is(p[-1], exponent_char) && (c == u'-' || c == u'+')) {
        // sign of the exponent
      } else if (got_digit && !got_e && ascii_lower_is(c, exponent_char)) {
        got_e = got_dot = true;
      } else if (!got_dot && c == u'.') {
        got_dot = true;
      } else {
        break;
      }
    }
    const std::size_t collected = static_cast<std::size_t>(p - start);
    if (collected == 0 || (hexadecimal && collected == 2)) return kScanNoMatch;
    // A decimal number needs a digit before its exponent or it converts
    // nothing; after "0x" the library converts at least the zero.
    if (!hexadecimal && !mantissa_digit) return kScanNoMatch;
    if (out == nullptr) return kScanConverted;
    const std::size_t length = static_cast<std::size_t>(p - digits_start);
    char small[128] = {};
    char* chars = small;
    if (length > sizeof small) {
      chars = static_cast<char*>(vexlor_mem_alloc_fixed(static_cast<sUInt>(length)));
      if (chars == nullptr) return kScanNoMatch;
    }
    for (std::size_t i = 0; i < length; ++i) {
      char c = static_cast<char>(digits_start[i]);
      chars[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    value = convert_float(chars, length, hexadecimal);
    if (chars != small) std::free(chars);
  }
  if (out != nullptr) *out = negative ? -value : value;
  return kScanConverted;
}

}  // namespace

int scan_float_text(const char16_t* text, float* out) {
  float value;
  const int result = scan_float(text, &value);
  if (result == kScanConverted) *out = value;
  return result;
}

int float_text_result(const char16_t* text) { return scan_float(text, nullptr); }

namespace {

sUInt put_ascii(const char* text, sUInt length, char16_t* out) {
  for (sUInt i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(text[i]);
  out[length] = 0;
  return length;
}

sUInt put_hex(sUInt value, int digits, char16_t* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  char text[8];
  int length = 0;
  do {
    text[length++] = kHex[value & 15];
    value >>= 4;
  } while (value != 0);
  while (length < digits) text[length++] = '0';
  for (int i = 0; i < length; ++i) out[i] = static_cast<char16_t>(text[length - 1 - i]);
  out[length] = 0;
  return static_cast<sUInt>(length);
}

sUInt put_general(double value, int precision, char16_t* out) {
  char text[kValueTextUnits];
  auto [end, error] = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::general, precision);
  if (error != std::errc()) return put_ascii("0", 1, out);
  return put_ascii(text, static_cast<sUInt>(end - text), out);
}

bool same_float(float a, float b) {
  if (std::isnan(a)) return std::isnan(b) && std::signbit(a) == std::signbit(b);
  sUInt ba, bb;
  std::memcpy(&ba, &a, 4);
  std::memcpy(&bb, &b, 4);
  return ba == bb;
}

}  // namespace

sUInt format_sint_text(sInt value, char16_t* out) {
  char text[16];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return put_ascii(text, static_cast<sUInt>(end - text), out);
}

sUInt format_uint_text(sUInt value, char16_t* out) {
  char text[16];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return put_ascii(text, static_cast<sUInt>(end - text), out);
}

sUInt format_dword_text(sUInt value, char16_t* out) { return put_hex(value, 8, out); }

sUInt format_byte_text(sUInt value, char16_t* out) { return put_hex(value & 0xFF, 2, out); }

sUInt format_float_text(float value, char16_t* out) {
  // Widened to double as the "%g" of a float argument is. No precision
  // below the float's shortest round-trip digit count can read back the
  // same, so the search starts there (never below "%g"'s six).
  int precision = 6;
  if (std::isfinite(value) && value != 0.0f) {
    char shortest[kValueTextUnits];
    auto [end, error] = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
    if (error == std::errc()) {
      int digits = 0;
      for (const char* c = shortest; c != end && *c != 'e'; ++c) digits += (*c >= '0' && *c <= '9') ? 1 : 0;
      if (digits > precision) precision = digits;
    }
  }
  for (; precision < 9; ++precision) {
    sUInt length = put_general(static_cast<double>(value), precision, out);
    float back;
    if (scan_float_text(out, &back) == kScanConverted && same_float(back, value)) return length;
  }
  return put_general(static_cast<double>(value), 9, out);
}
