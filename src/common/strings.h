// UTF-16 string services.
//
// Strings made here are heap blocks owned by whoever holds the pointer and
// released with free_string. None of these operations reports errors: a null
// result means the source was null or memory ran out.
#pragma once

#include <string>
#include <string_view>

#include "common/types.h"

// Copy of `str`: len 0 copies up to the terminator; len n copies exactly n
// units (zero units included) and adds a terminator.
char16_t* alloc_string(const char16_t* str, sUInt len);
// As alloc_string, but with len 0 the copy stops before the first line feed.
char16_t* alloc_string_nl(const char16_t* str, sUInt len);
void free_string(char16_t* str);

// 1 to 32 letters, digits or "_", not beginning with a digit.
int is_valid_identifier(const char16_t* str);

// Character classes of the "C" locale, the same on every platform.
inline bool wc_is_space(char16_t c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D); }
inline bool wc_is_cntrl(char16_t c) { return c < 0x20 || c == 0x7F; }
inline bool wc_is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool wc_is_xdigit(char16_t c) {
  return wc_is_digit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
inline bool wc_is_alpha(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
inline bool wc_is_alnum(char16_t c) { return wc_is_alpha(c) || wc_is_digit(c); }
// Letters A-Z folded to lower case; every other unit unchanged.
inline char16_t wc_fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

// Length in units up to the terminator (0 for null).
sUInt wstr_len(const char16_t* s);
// Appends src to dst; the caller guarantees the room.
char16_t* wstr_cat(char16_t* dst, const char16_t* src);
// Copies at most capacity-1 units of src and terminates. Returns false when
// src did not fit (dst then holds the cut text).
bool wstr_copy(char16_t* dst, const char16_t* src, sUInt capacity);
// Whole-string comparisons.
bool wstr_equal(const char16_t* a, const char16_t* b);
// Letters A-Z compared without regard to case, every other unit exactly.
bool wstr_equal_nocase(const char16_t* a, const char16_t* b);
bool wstr_equal_nocase(std::u16string_view a, std::u16string_view b);

// The decimal digits of n, for messages.
std::u16string decimal_text(sUInt n);
