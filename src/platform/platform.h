// The platform layer of the library: the only library code that talks to
// the operating system.
//
// Windows builds call the real Windows interfaces; POSIX builds put a small
// layer of their own in their place (UTF-8 stands in for the ANSI code
// page). Nothing outside this folder includes an operating-system header.
// Everything here is free of state and safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// File names are UTF-16 inside the program. POSIX hands them to the system
// as UTF-8 (a pair of surrogates as one four-byte character); Windows takes
// them as they are, through its wide-character interfaces.
//
// Whether the system can represent the name at all: POSIX refuses a lone
// surrogate, which UTF-8 cannot carry; Windows takes any name.
bool file_name_representable(const char16_t* name);
// Whether every part of the name between separators fits the file system's
// own limit on a name (POSIX: asked of the directory the name is in, else
// 255 bytes; Windows: 255 units), and the whole its limit on a path.
bool file_name_within_limits(const char16_t* name);
// std::fopen by UTF-16 name; null when the name cannot be represented.
std::FILE* open_file(const char16_t* name, const char* mode);

// An output that is never half-written. A regular file, or a name that
// does not exist yet, is written to a temporary file beside it, named
// "<name>.<process id>-<n>.tmp" (shortened from the front of <name> to fit
// the name limit), which close_output puts in its place in one step (POSIX
// rename, Windows MoveFileExW): the file's old contents stay whole until
// then. On POSIX a symbolic link is followed: the file it names is replaced
// and the link stays; the new file keeps the permission bits of the old one
// (and its owner and group where the user may give them). Any
// other target (a device, a FIFO) is written directly. Outputs are not
// synced to disk.
struct Output;

// Null when the target cannot be written: its name cannot be represented,
// the user may not write the existing file (even when a rename over it
// would succeed), it is a directory, or the temporary file cannot be made.
Output* open_output(const char16_t* name);
std::FILE* output_file(const Output* output);
// Closes the file and releases `output`. With `keep` the temporary file
// replaces the target (true when it did); without, it is removed and the
// target keeps what it had. A direct output keeps what went out either way.
bool close_output(Output* output, bool keep);

// The write-fault test hook, after SQLite's fault injection: the
// environment variable VEXLOR_WRITE_FAULT, read by each write stream when it
// is opened by name (container/fioshare.cpp tells what it means). For tests
// only.
enum class WriteFault { kNone, kFail, kStop, kAbort };
// Acts out a stop (POSIX: SIGSTOP, and returns when the process is let go
// on; Windows: the process ends at once, as if killed) or an abort.
void write_fault_strike(WriteFault kind);

}  // namespace platform
