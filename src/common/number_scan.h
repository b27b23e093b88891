// The one digit scanner of the program: the value-text scanners, the
// grammar parser's file type values and the SIDN definitions all read their
// digits through it, over a range [first, last) as std::from_chars does.
#pragma once

#include <cstdint>

// The value of a decimal or hexadecimal digit, or -1 when `c` is none in
// `base` (10 or 16).
inline int digit_value(char16_t c, int base) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (base == 16) {
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  }
  return -1;
}

// The run of digits of `base` at the start of [first, last).
struct sDigitRun {
  const char16_t* end;  // behind the last digit (first when there is none)
  std::uint64_t value;  // while not overflowed
  bool overflow;        // the value passed 64 bits; every digit is still taken
};

inline sDigitRun scan_digits(const char16_t* first, const char16_t* last, int base) {
  sDigitRun run{first, 0, false};
  for (int d; run.end != last && (d = digit_value(*run.end, base)) >= 0; ++run.end) {
    if (run.overflow) continue;
    // Below 2^59 one more digit of any base up to 16 cannot pass 64 bits.
    if (run.value >= (std::uint64_t{1} << 59) &&
        run.value > (UINT64_MAX - static_cast<unsigned>(d)) / static_cast<unsigned>(base)) {
      run.overflow = true;
    } else {
      run.value = run.value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
  }
  return run;
}
