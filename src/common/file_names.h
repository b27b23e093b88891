// File names handed to the file system.
//
// Names are converted to 8-bit text one byte per character (capacity 256
// bytes). A character above U+007F is refused with a message box; a name of
// 256 or more characters is refused too (it would not fit with its
// terminator). Every opener of the program goes through here; the box is
// shown through the reporter's sink.
#pragma once

#include <cstdio>

#include "common/types.h"

struct sReporter;

inline constexpr sUInt kFileNameBytes = 256;

// Fills `out` (kFileNameBytes) and returns true, or returns false.
bool file_name_to_8bit(sReporter& rep, const char16_t* name, char* out);
// Converts and opens with std::fopen; null on any failure.
std::FILE* open_file_utf16(sReporter& rep, const char16_t* name, const char* mode);
