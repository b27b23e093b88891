// The text forms of value nodes: scanning a node's text into its number and
// formatting a number into its text.
//
// The scanners accept exactly what the C library's wide scanf accepts for
// one "%d", "%u", "%x" or "%e" (float) conversion on the x86-64 GNU C library,
// so that files written by older tools read back with the same values:
// leading white space is skipped, the longest prefix the conversion takes is
// converted, and overflow behaves as the library's strtol / strtoul with a
// 64-bit long followed by the conversion to 32 bits. They return what scanf
// would return for that one conversion: 1 when a value was stored, 0 when the
// text holds no convertible prefix (a matching failure), -1 when the text
// ends (only white space or nothing) before a conversion began. The output is
// written only on 1.
#pragma once

#include "common/types.h"

inline constexpr int kScanConverted = 1;
inline constexpr int kScanNoMatch = 0;
inline constexpr int kScanEndOfText = -1;

int scan_sint_text(const char16_t* text, sInt* out);   // "%d"
int scan_uint_text(const char16_t* text, sUInt* out);  // "%u"
int scan_hex_text(const char16_t* text, sUInt* out);   // "%x"
int scan_float_text(const char16_t* text, float* out); // "%e" into a float
// What scan_float_text would return, without converting.
int float_text_result(const char16_t* text);

// Formatting for the value texts. Each writes at most kValueTextUnits units
// including the terminator and returns the length without it.
inline constexpr sUInt kValueTextUnits = 32;
sUInt format_sint_text(sInt value, char16_t* out);    // "%d"
sUInt format_uint_text(sUInt value, char16_t* out);   // "%u"
sUInt format_dword_text(sUInt value, char16_t* out);  // "%08x"
sUInt format_byte_text(sUInt value, char16_t* out);   // "%02x" of the low 8 bits
// "%g" when that text scans back to the same float, else the fewest of
// "%.7g", "%.8g", "%.9g" that does; a float never changes in a round trip.
sUInt format_float_text(float value, char16_t* out);
// The text of a value of a shape node type from SHN_SINT to SHN_FLOAT, its
// 32 bits as the node holds them (signed for SHN_SINT, IEEE single bits for
// SHN_FLOAT): one of the forms above. Any other type gives the empty text.
sUInt format_value_text(sUInt type, sUInt value, char16_t* out);
// The same text found the plain way: each candidate formatted and scanned
// back. format_float_text must agree with it for every float.
sUInt format_float_text_by_search(float value, char16_t* out);
