// Text conversions at the operating-system boundary.
//
// str_to_wstr widens bytes by sign extension; wstr_to_str keeps low bytes.
// wstr_to_ansi / ansi_to_wstr use the ANSI code page (UTF-8 on POSIX) and
// write into the caller's buffer of kAnsiBufferBytes / kWideBufferUnits.
// The strict UTF-8 pair serves names: the command line and the file system.
#pragma once

#include <string>
#include <string_view>

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

// Appends well-formed UTF-8 (no overlong forms, no encoded surrogates,
// nothing above U+10FFFF) to `out` as UTF-16. Every byte that is not part of
// such a sequence becomes the lone surrogate U+DC00 + byte: the text keeps
// what could not be read, and a name holding it is refused later. Returns
// false when any byte was malformed.
bool utf8_to_utf16_marked(std::string_view src, std::u16string& out);
// UTF-16 to UTF-8 into `out`; false (out then undefined) when the text holds
// a lone surrogate, which UTF-8 cannot carry.
bool utf16_to_utf8_strict(const char16_t* src, std::string& out);
// True when every surrogate of the terminated text is part of a pair.
bool utf16_well_formed(const char16_t* text);
