#include "shape/value_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/memory.h"
#include "common/number_scan.h"
#include "common/strings.h"
#include "shape/shape_tree.h"

namespace {

const char16_t* skip_space(const char16_t* p) {
  while (wc_is_space(*p)) ++p;
  return p;
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
  const char16_t* last = p + wstr_len(p);
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
  const sDigitRun run = scan_digits(p, last, base);
  n.magnitude = run.value;
  n.overflow = run.overflow;
  return digits || run.end != p ? kScanConverted : kScanNoMatch;
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
  // The common case, up to nine digits and nothing before them, cannot
  // overflow and needs none of the general rules.
  sUInt quick = 0;
  int digits = 0;
  for (unsigned d; digits < 9 && (d = static_cast<unsigned>(text[digits]) - u'0') < 10; ++digits) {
    quick = quick * 10 + d;
  }
  if (digits != 0 && !(static_cast<unsigned>(text[digits]) - u'0' < 10)) {
    *out = quick;
    return kScanConverted;
  }
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

constexpr int kNotPlain = 2;

// Powers of ten that a float holds exactly.
constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// The common case of a model file, digits with at most one point and no
// exponent ("-0.5773", "12", "3."), taken without collecting: kNotPlain when
// the text is anything else (an exponent, "0x", no digit), and the general
// conversion decides. Digits m with k of them behind the point are m / 10^k;
// while m < 2^24 and k <= 10 both are exact floats and the one division,
// rounded once, gives the correctly rounded value, as strtof does. Other
// digit strings are converted by the general routine.
int scan_plain_decimal(const char16_t* p, float* out) {
  std::uint64_t mantissa = 0;  // exact while digits < 19
  int digits = 0;
  int fraction_digits = 0;
  const char16_t* start = p;
  for (unsigned d; (d = static_cast<unsigned>(*p) - u'0') < 10; ++p, ++digits) mantissa = mantissa * 10 + d;
  // "0x" is the start of a hexadecimal number.
  if (digits == 1 && *start == u'0' && (*p == u'x' || *p == u'X')) return kNotPlain;
  if (*p == u'.') {
    ++p;
    for (unsigned d; (d = static_cast<unsigned>(*p) - u'0') < 10; ++p, ++digits, ++fraction_digits) {
      mantissa = mantissa * 10 + d;
    }
  }
  if (digits == 0 || *p == u'e' || *p == u'E') return kNotPlain;
  if (digits >= 19 || mantissa > (std::uint64_t{1} << 24) || fraction_digits > 10) return kNotPlain;
  if (out != nullptr) *out = static_cast<float>(static_cast<std::uint32_t>(mantissa)) / kExactPowersOfTen[fraction_digits];
  return kScanConverted;
}

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
  } else if (const int fast = scan_plain_decimal(p, out != nullptr ? &value : nullptr); fast != kNotPlain) {
    if (fast == kScanNoMatch) return kScanNoMatch;
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
  // A text that starts with a digit, a point or a minus before one is no
  // word and has no blank to skip: the plain decimal decides it at once,
  // as scan_float would after its first steps.
  const bool negative = *text == u'-';
  const char16_t* digits = negative ? text + 1 : text;
  if (static_cast<unsigned>(*digits) - u'0' < 10 || *digits == u'.') {
    float plain;
    const int fast = scan_plain_decimal(digits, &plain);
    if (fast == kScanConverted) {
      *out = negative ? -plain : plain;
      return kScanConverted;
    }
  }
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

struct sDigitPairs {
  char16_t units[200];
  constexpr sDigitPairs() : units() {
    for (int i = 0; i < 100; ++i) {
      units[2 * i] = static_cast<char16_t>(u'0' + i / 10);
      units[2 * i + 1] = static_cast<char16_t>(u'0' + i % 10);
    }
  }
};
constexpr sDigitPairs kDigitPairs;

void put_pair(char16_t* at, std::uint32_t pair) { std::memcpy(at, kDigitPairs.units + 2 * pair, 2 * sizeof(char16_t)); }

// The decimal digits of `value` and a terminator; the number of digits.
sUInt put_decimal(std::uint32_t value, char16_t* out) {
  sUInt length = 1;
  for (std::uint32_t bound = 10; length < 10 && value >= bound; bound *= 10) ++length;
  char16_t* p = out + length;
  *p = 0;
  while (value >= 100) {
    p -= 2;
    put_pair(p, value % 100);
    value /= 100;
  }
  if (value >= 10) {
    put_pair(p - 2, value);
  } else {
    p[-1] = static_cast<char16_t>(u'0' + value);
  }
  return length;
}

// Exactly `digits` hex digits: the value must fit in them.
sUInt put_hex(sUInt value, int digits, char16_t* out) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = kHex[value & 15];
    value >>= 4;
  }
  out[digits] = 0;
  return static_cast<sUInt>(digits);
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
  if (value >= 0) return put_decimal(static_cast<std::uint32_t>(value), out);
  out[0] = u'-';
  return 1 + put_decimal(0u - static_cast<std::uint32_t>(value), out + 1);
}

sUInt format_uint_text(sUInt value, char16_t* out) { return put_decimal(value, out); }

sUInt format_dword_text(sUInt value, char16_t* out) { return put_hex(value, 8, out); }

sUInt format_byte_text(sUInt value, char16_t* out) { return put_hex(value & 0xFF, 2, out); }

sUInt format_float_text_by_search(float value, char16_t* out) {
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

namespace {

// 10^k as mantissa * 2^exponent, the mantissa of 64 bits (its top bit set)
// rounded up. The table is worked out when the program is compiled, from
// exact multi-word products and quotients.
struct sDecimalPower {
  std::uint64_t mantissa;
  int exponent;
};

// A 256-bit whole number, as eight 32-bit words, lowest first.
struct sWideNumber {
  static constexpr int kWords = 8;
  std::uint32_t word[kWords] = {};

  constexpr void multiply_by_10() {
    std::uint64_t carry = 0;
    for (std::uint32_t& w : word) {
      const std::uint64_t v = std::uint64_t{w} * 10 + carry;
      w = static_cast<std::uint32_t>(v);
      carry = v >> 32;
    }
  }
  // Whether the division left a remainder.
  constexpr bool divide_by_10() {
    std::uint64_t rest = 0;
    for (int i = kWords - 1; i >= 0; --i) {
      const std::uint64_t v = (rest << 32) | word[i];
      word[i] = static_cast<std::uint32_t>(v / 10);
      rest = v % 10;
    }
    return rest != 0;
  }
  constexpr bool bit(int i) const { return i >= 0 && ((word[i / 32] >> (i % 32)) & 1) != 0; }
  constexpr int top_bit() const {
    for (int i = 32 * kWords - 1; i > 0; --i) {
      if (bit(i)) return i;
    }
    return 0;
  }
};

constexpr sDecimalPower decimal_power(int k) {
  sWideNumber n;
  bool inexact = false;
  int scale = 0;  // n * 2^scale is 10^k
  if (k >= 0) {
    n.word[0] = 1;
    for (int i = 0; i < k; ++i) n.multiply_by_10();
  } else {
    n.word[sWideNumber::kWords - 1] = 1u << 31;
    scale = 1 - 32 * sWideNumber::kWords;
    for (int i = 0; i < -k; ++i) inexact |= n.divide_by_10();
  }
  const int top = n.top_bit();
  std::uint64_t mantissa = 0;
  for (int i = top; i > top - 64; --i) mantissa = (mantissa << 1) | (n.bit(i) ? 1 : 0);
  for (int i = top - 64; i >= 0; --i) inexact |= n.bit(i);
  int exponent = top - 63 + scale;
  if (inexact && ++mantissa == 0) {
    mantissa = std::uint64_t{1} << 63;
    ++exponent;
  }
  return {mantissa, exponent};
}

static_assert(decimal_power(0).mantissa == std::uint64_t{1} << 63 && decimal_power(0).exponent == -63);
static_assert(decimal_power(1).mantissa == std::uint64_t{10} << 60 && decimal_power(1).exponent == -60);
static_assert(decimal_power(-1).mantissa == 0xCCCCCCCCCCCCCCCDu && decimal_power(-1).exponent == -67);

// GCC and Clang have 128-bit integers on 64-bit targets; a 32-bit target
// finds every text by the search.
#if defined(__SIZEOF_INT128__)
#define VEXLOR_FAST_FLOAT_TEXT 1
__extension__ typedef unsigned __int128 sWide;
#endif

constexpr std::uint32_t kPowersOfTen32[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

constexpr std::uint32_t kPowersOfFive[] = {1,       5,        25,        125,        625,       3125,     15625,
                                           78125,   390625,   1953125,   9765625,    48828125,  244140625,
                                           1220703125};

// What the digits of the floats m * 2^q with a mantissa m of 24 bits (the
// top one set) need, for each q: their decimal exponent E, which is
// `exponent` or, from m = `threshold` on, one more; and for each of the two,
// 10^(5 - E) as the mantissa of its decimal power and the places m times it
// is shifted right to give x * 10^(5 - E) with 64 fraction bits (3 to 9).
// Subnormals take the row of their mantissa shifted up to 24 bits.
struct sBinade {
  std::uint64_t mantissa[2];
  std::uint32_t threshold;
  std::int8_t exponent;
  std::uint8_t places[2];
};

constexpr int kLowestBinade = -22;  // the smallest subnormal, 2^-149, is 2^23 * 2^-172
constexpr int kHighestBinade = 254;

constexpr sBinade binade(int biased) {
  const int q = biased - 150;
  const int exponent = ((biased - 127) * 78913) >> 18;  // floor(log10(2^(q + 23)))
  sBinade row{};
  row.exponent = static_cast<std::int8_t>(exponent);
  // m * 2^q >= 10^(E + 1) from m = ceil(10^(E + 1) / 2^q) on, when that is
  // a mantissa; the rounded-up power rounds to the same whole number.
  const sDecimalPower next = decimal_power(exponent + 1);
  const int down = q - next.exponent;
  std::uint64_t threshold = std::uint64_t{1} << 24;
  if (down > 0 && down < 64) threshold = (next.mantissa >> down) + ((next.mantissa << (64 - down)) != 0 ? 1 : 0);
  row.threshold = static_cast<std::uint32_t>(threshold < (std::uint64_t{1} << 24) ? threshold : std::uint64_t{1} << 24);
  for (int i = 0; i < 2; ++i) {
    const sDecimalPower power = decimal_power(5 - exponent - i);
    row.mantissa[i] = power.mantissa;
    row.places[i] = static_cast<std::uint8_t>(-(64 + q + power.exponent));
  }
  return row;
}

struct sBinades {
  sBinade row[kHighestBinade - kLowestBinade + 1];
  constexpr sBinades() : row() {
    for (int b = kLowestBinade; b <= kHighestBinade; ++b) row[b - kLowestBinade] = binade(b);
  }
};
constexpr sBinades kBinades;

constexpr bool shifts_fit() {
  for (const sBinade& row : kBinades.row) {
    for (std::uint8_t places : row.places) {
      if (places == 0 || places >= 64) return false;
    }
  }
  return true;
}
static_assert(shifts_fit());

#if defined(VEXLOR_FAST_FLOAT_TEXT)
// v >> places for 0 < places < 64, without the tests of a general 128-bit
// shift.
sWide shift_right(sWide v, int places) {
  const auto low = static_cast<std::uint64_t>(v);
  const auto high = static_cast<std::uint64_t>(v >> 64);
  return (sWide{high >> places} << 64) | ((low >> places) | (high << (64 - places)));
}
#endif

// Whether v * 2^twos * 10^k is a whole number, for an odd v.
[[maybe_unused]] bool is_whole(std::uint32_t v, int twos, int k) {
  if (twos + k < 0) return false;
  if (k >= 0) return true;
  return -k < static_cast<int>(sizeof kPowersOfFive / sizeof kPowersOfFive[0]) && v % kPowersOfFive[-k] == 0;
}

// Units moved in one fixed-size copy: never fewer than a piece needs, and
// every destination has room for the excess (a value text buffer holds
// kValueTextUnits units; a float text with the excess of its last copy
// takes at most 27).
constexpr int kCopyUnits = 16;

void copy_units(char16_t* to, const char16_t* from) { std::memcpy(to, from, kCopyUnits * sizeof(char16_t)); }

// The "%g" text with `precision` significant digits `digits` (a whole
// number of exactly that many digits) and decimal exponent `exponent`.
[[maybe_unused]] sUInt put_g_digits(bool negative, std::uint32_t digits, int precision, int exponent, char16_t* out) {
  // The exponent chooses the form by the precision asked for; the digits
  // shown are those left once trailing zeros go.
  const bool scientific = exponent < -4 || exponent >= precision;
  int count = precision;
  while (count > 1 && digits % 10 == 0) {
    digits /= 10;
    --count;
  }
  // The digits right-aligned in front of slack for the fixed-size copies.
  char16_t text[12 + kCopyUnits];
  char16_t* d = text + 12;
  for (int i = 0; i < kCopyUnits; ++i) d[i] = u'0';
  while (digits >= 100) {
    d -= 2;
    put_pair(d, digits % 100);
    digits /= 100;
  }
  if (digits >= 10) {
    d -= 2;
    put_pair(d, digits);
  } else {
    *--d = static_cast<char16_t>(u'0' + digits);
  }

  char16_t* p = out;
  *p = u'-';
  p += negative ? 1 : 0;
  if (scientific) {
    *p++ = d[0];
    if (count > 1) {
      *p++ = u'.';
      copy_units(p, d + 1);
      p += count - 1;
    }
    *p++ = u'e';
    *p++ = exponent < 0 ? u'-' : u'+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude >= 100) *p++ = static_cast<char16_t>(u'0' + magnitude / 100);
    put_pair(p, magnitude % 100);
    p += 2;
  } else if (exponent >= 0) {
    // Whole digits are fewer than the precision, so at most nine; so are
    // the digits that follow them, or the zeros.
    const int whole_digits = exponent + 1;
    copy_units(p, d);
    if (count <= whole_digits) {
      p += whole_digits;  // the slack behind the digits holds the zeros
    } else {
      p += whole_digits;
      *p++ = u'.';
      copy_units(p, d + whole_digits);
      p += count - whole_digits;
    }
  } else {
    *p++ = u'0';
    *p++ = u'.';
    for (int i = -1; i > exponent; --i) *p++ = u'0';
    copy_units(p, d);
    p += count;
  }
  *p = 0;
  return static_cast<sUInt>(p - out);
}

}  // namespace

sUInt format_float_text(float value, char16_t* out) {
  // The text is the first of "%.6g" ... "%.9g" that reads back as the same
  // float. Reading back rounds correctly, so a text reads back exactly when
  // its decimal value lies in the float's rounding interval: within half the
  // gap to each neighbour, the ends included when the float's mantissa is
  // even (a tie goes to the even one). For each precision p the float x is
  // scaled to p digits before the point, x * 10^k, in fixed point, and both
  // the rounding to a whole number and that test are done on it. The scaled
  // value is off by less than 2^-62 of itself (the power of ten is rounded
  // up once, the shift drops bits below 2^-64), so a decision further than a
  // margin well above that from its edge is exact; one closer is decided by
  // whether the edge is exactly met, from the float's factors of two and
  // five. What stays undecided takes the search.
  sUInt bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 31) != 0;
  const sUInt biased = (bits >> 23) & 0xFF;
  const sUInt fraction = bits & 0x7FFFFF;
  if (biased == 0xFF) return format_float_text_by_search(value, out);
  if (biased == 0 && fraction == 0) return put_ascii(negative ? "-0" : "0", negative ? 2 : 1, out);

#if defined(VEXLOR_FAST_FLOAT_TEXT)
  // The float is m * 2^q; half the gap to its neighbours is 2^(q - 1), below
  // a power of two half of that on the lower side (not so at the smallest
  // normal, whose neighbour below is the largest subnormal).
  const std::uint32_t m = biased != 0 ? fraction | (1u << 23) : fraction;
  const int q = biased != 0 ? static_cast<int>(biased) - 150 : -149;
  const bool narrow_below = biased > 1 && fraction == 0;
  const bool ends_included = (m & 1) == 0;

  // x * 10^k, k = 5 - E, with 64 fraction bits.
  const int lift = biased != 0 ? 0 : std::countl_zero(m) - 8;  // a subnormal's mantissa to 24 bits
  const sBinade& row = kBinades.row[(biased != 0 ? static_cast<int>(biased) : 1 - lift) - kLowestBinade];
  const bool above = (m << lift) >= row.threshold;
  const int exponent = row.exponent + (above ? 1 : 0);
  const std::uint64_t power = above ? row.mantissa[1] : row.mantissa[0];
  const int places = above ? row.places[1] : row.places[0];
  int k = 5 - exponent;
  sWide scaled = shift_right(sWide{m << lift} * power, places);
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
  for (int precision = 6; precision <= 9; ++precision, ++k, scaled *= 10) {
    const auto whole = static_cast<std::uint64_t>(scaled >> 64);
    const auto rest = static_cast<std::uint64_t>(scaled);
    // Rounded to the nearest whole number, a tie to the even one.
    const auto margin = static_cast<std::uint64_t>(scaled >> 60) + 1;
    bool up = rest > kHalf;
    if (rest - (kHalf - margin) <= 2 * margin) {
      // An exact tie: 2 * x * 10^k is odd.
      const int twos = std::countr_zero(m);
      if (!is_whole(m >> twos, q + 1 + twos, k) || q + 1 + twos + k != 0) break;
      up = (whole & 1) != 0;
    }
    // Inside when the distance is at most the half gap, x * 10^k / 2m (or
    // / 4m below a power of two).
    const std::uint64_t distance = (rest ^ (0 - std::uint64_t{up})) + (up ? 1 : 0);  // up: 2^64 - rest
    const bool narrow = !up && narrow_below;
    const sWide span = sWide{distance} * ((2 * m) << (narrow ? 1 : 0));
    const sWide span_margin = (scaled >> 30) + 1;
    bool inside;
    if (span + span_margin < scaled) {
      inside = true;
    } else if (span > scaled + span_margin) {
      inside = false;
    } else {
      // The end of the interval is met exactly when it is a whole number.
      const std::uint32_t end = up ? 2 * m + 1 : narrow ? 4 * m - 1 : 2 * m - 1;
      if (!is_whole(end, narrow ? q - 2 : q - 1, k)) break;
      inside = ends_included;
    }
    if (inside) {
      auto digits = static_cast<std::uint32_t>(whole + (up ? 1 : 0));
      int shown_exponent = exponent;
      if (digits == kPowersOfTen32[precision]) {  // rounded up into the next decade
        digits /= 10;
        ++shown_exponent;
      }
      return put_g_digits(negative, digits, precision, shown_exponent, out);
    }
  }
#endif
  return format_float_text_by_search(value, out);
}

sUInt format_value_text(sUInt type, sUInt value, char16_t* out) {
  switch (type) {
    case SHN_SINT: return format_sint_text(static_cast<sInt>(value), out);
    case SHN_UINT: return format_uint_text(value, out);
    case SHN_DWORD: return format_dword_text(value, out);
    case SHN_BYTE: return format_byte_text(value, out);
    case SHN_FLOAT: return format_float_text(std::bit_cast<float>(value), out);
    default: out[0] = 0; return 0;
  }
}
