// The platform layer: the only code that talks to the operating system.
//
// Windows builds call the real Windows interfaces; POSIX builds put a small
// layer of their own in their place (UTF-8 stands in for the ANSI code page,
// standard error for the debugger and the message box). Nothing outside this
// folder includes an operating-system header.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// POSIX: the entry rebuilds the process command line from argv. Windows
// ignores this and uses GetCommandLineA.
void set_arguments(int argc, char** argv);
// The process command line in the ANSI code page.
std::string command_line();

// Whole-text code-page conversions; false when the result needs more than
// `capacity` units/bytes including the terminator (the buffer then holds
// whatever the system left there).
bool ansi_to_utf16(const char* src, char16_t* dst, unsigned capacity);
bool utf16_to_ansi(const char16_t* src, char* dst, unsigned capacity);

// Directory of the running executable with its trailing separator, when the
// system can tell it directly (POSIX). Empty when it cannot; the caller then
// falls back to the command line's first token.
std::u16string executable_dir();
// The separator the program directory ends in.
char16_t path_separator();

// The debug channel. Reports are formatted and written only while somebody
// listens: a debugger on Windows, a debugger or tracer on POSIX, or a sink that
// a test installed.
bool debug_channel_active();
void debug_channel_write(const char* ansi_line);
using DebugSink = std::function<void(std::string_view)>;
// Replaces the channel in-process (an empty function restores the default).
void set_debug_sink(DebugSink sink);

// A modal message box without owner. POSIX: "<caption>: <text>" on standard
// error, as if OK was pressed.
int message_box(const char* text, const char* caption, unsigned style);

// Names (without directory) of the files of `dir_prefix` (empty, or a
// directory ending in its separator) that match "*.bnf". POSIX: regular files
// whose names end in ".bnf" in any letter case, sorted by name without case.
std::vector<std::string> find_bnf_files(const std::string& dir_prefix);

[[noreturn]] void exit_process(int status);

// Console output: writes bytes to standard output unchanged.
void console_write(const char* bytes, size_t count);

// A hint for a fresh block of memory about to be written throughout: its
// pages may be mapped at once rather than one fault at a time. Linux asks
// for that (whole pages inside the block only); elsewhere it does nothing.
void prefault_memory(void* block, size_t bytes);

}  // namespace platform
