// The platform layer of the library: the only library code that talks to
// the operating system.
//
// Windows builds call the real Windows interfaces; POSIX builds put a small
// layer of their own in their place (UTF-8 stands in for the ANSI code
// page). Nothing outside this folder includes an operating-system header.
// Everything here is free of state and safe on any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Whole-text code-page conversions; false when the result needs more than
// `capacity` units/bytes including the terminator (the buffer then holds
// whatever the system left there).
bool ansi_to_utf16(const char* src, char16_t* dst, unsigned capacity);
bool utf16_to_ansi(const char16_t* src, char* dst, unsigned capacity);

// The separator the program directory ends in.
char16_t path_separator();

// Names (without directory) of the files of `dir_prefix` (empty, or a
// directory ending in its separator) that match "*.bnf". POSIX: regular files
// whose names end in ".bnf" in any letter case, sorted by name without case.
std::vector<std::string> find_bnf_files(const std::string& dir_prefix);

// A hint for a fresh block of memory about to be written throughout: its
// pages may be mapped at once rather than one fault at a time. Linux asks
// for that (whole pages inside the block only); elsewhere it does nothing.
void prefault_memory(void* block, std::size_t bytes);

}  // namespace platform
