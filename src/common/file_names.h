// File names handed to the file system.
//
// Names are UTF-16 inside the program; the platform layer hands them to the
// system in its own form (UTF-8 on POSIX, the wide-character interfaces on
// Windows). A name the system cannot represent (on POSIX one holding a lone
// surrogate) is refused with a message box; any other name goes to the
// system, which alone decides whether it fits its limits. Every opener of
// the program goes through here; the box is shown through the reporter's
// sink.
#pragma once

#include <cstddef>
#include <cstdio>

#include "common/types.h"

struct sReporter;

// The name in UTF-8 into `out` (kFileNameBytes): the form POSIX opens.
// False after the box when the name cannot be represented, false without
// one when it does not fit.
inline constexpr sUInt kFileNameBytes = 1024;
bool file_name_to_8bit(sReporter& rep, const char16_t* name, char* out);

// True when the system can take `name`; false (after the box) when not.
bool file_name_usable(sReporter& rep, const char16_t* name);
// Checks the name as above and opens it with std::fopen's modes; null on
// any failure.
std::FILE* open_file_utf16(sReporter& rep, const char16_t* name, const char* mode);

// Whether a name the user gave can name a file here at all: well-formed
// UTF-16 whose parts fit the file system's own limits. The command line
// refuses any other name ("Invalid filename specified").
bool file_name_acceptable(const char16_t* name);

// Makes `bytes` the whole contents of the file `name` the way every output
// is written (see platform::Output): the old contents stay until the new
// ones are complete. False when the file could not be written; it then
// keeps what it had.
bool write_whole_file(const char16_t* name, const void* bytes, std::size_t count);
