// UTF-8 and UTF-16. Malformed bytes and lone surrogates become U+FFFD;
// code points beyond the basic plane become surrogate pairs.
#pragma once

#include <string>
#include <string_view>

// Whole terminated texts into a buffer of `capacity` units/bytes
// (terminator included); false when the result does not fit (the UTF-8
// output then holds the cut text).
bool utf8_to_utf16(const char* src, char16_t* dst, unsigned capacity);
bool utf16_to_utf8(const char16_t* src, char* dst, unsigned capacity);

std::u16string utf8_to_u16(std::string_view text);
std::string u16_to_utf8(std::u16string_view text);
