// Text conversions at the operating-system boundary.
//
// str_to_wstr widens bytes by sign extension; wstr_to_str keeps low bytes.
// wstr_to_ansi / ansi_to_wstr use the ANSI code page (UTF-8 on POSIX) and
// write into the caller's buffer of kAnsiBufferBytes / kWideBufferUnits.
#pragma once

#include "common/types.h"

inline constexpr sUInt kAnsiBufferBytes = 2048;
inline constexpr sUInt kWideBufferUnits = 2048;

// At most n units are copied; the destination is always terminated (a source
// of n or more bytes is cut at n-1).
void str_to_wstr(char16_t* dst, const char* src, sUInt n);
// At most n bytes; always terminated (cut at n-1).
char* wstr_to_str(char* dst, const char16_t* src, sUInt n);
// On a refused conversion the result is the cut text (last byte terminated).
const char* wstr_to_ansi(const char16_t* src, char (&out)[kAnsiBufferBytes]);
// On a refused conversion the result is the empty text.
const char16_t* ansi_to_wstr(const char* src, char16_t (&out)[kWideBufferUnits]);
