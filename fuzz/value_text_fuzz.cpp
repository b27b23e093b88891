// The value texts: every number formats to a text that scans back to the
// same number (a NaN to a NaN of the same sign: its text is "nan" or
// "-nan"), the float text is one the text reader accepts, and scanning
// arbitrary text never reads past its end. The first four bytes are the
// number, the rest is text to scan.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shape/value_text.h"

namespace {

[[noreturn]] void fail(const char* why, std::uint32_t bits) {
  std::fprintf(stderr, "value text: %s (0x%08x)\n", why, bits);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::uint32_t bits;
  std::memcpy(&bits, data, 4);
  char16_t text[kValueTextUnits];

  float f;
  std::memcpy(&f, &bits, 4);
  if (format_float_text(f, text) >= kValueTextUnits) fail("float text too long", bits);
  float back = 0.0f;
  if (scan_float_text(text, &back) != kScanConverted) fail("float text does not scan", bits);
  std::uint32_t back_bits;
  std::memcpy(&back_bits, &back, 4);
  if (std::isnan(f) ? !std::isnan(back) || std::signbit(f) != std::signbit(back) : back_bits != bits) {
    fail("float changed in its text", bits);
  }

  sInt si = 0;
  format_sint_text(static_cast<sInt>(bits), text);
  if (scan_sint_text(text, &si) != kScanConverted || static_cast<std::uint32_t>(si) != bits) fail("sint", bits);
  sUInt u = 0;
  format_uint_text(bits, text);
  if (scan_uint_text(text, &u) != kScanConverted || u != bits) fail("uint", bits);
  format_dword_text(bits, text);
  if (scan_hex_text(text, &u) != kScanConverted || u != bits) fail("dword", bits);
  format_byte_text(bits, text);
  if (scan_hex_text(text, &u) != kScanConverted || u != (bits & 0xFF)) fail("byte", bits);

  // Arbitrary text: an exact-size copy, so that a read past its terminator
  // is caught.
  std::u16string rest;
  for (std::size_t i = 4; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    rest += unit;
  }
  auto* exact = static_cast<char16_t*>(std::malloc((rest.size() + 1) * sizeof(char16_t)));
  std::memcpy(exact, rest.c_str(), (rest.size() + 1) * sizeof(char16_t));
  scan_sint_text(exact, &si);
  scan_uint_text(exact, &u);
  scan_hex_text(exact, &u);
  const int result = scan_float_text(exact, &back);
  if (float_text_result(exact) != result) fail("float_text_result disagrees with the scan", bits);
  std::free(exact);
  return 0;
}
