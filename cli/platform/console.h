// The program's side of the platform: the process command line, the
// program's directory, the console, the debugger channel, message boxes and
// the end of the process. The library needs none of it.
//
// Windows builds call the real Windows interfaces; POSIX builds put a small
// layer of their own in their place (standard error for the debugger and
// the message box).
#pragma once

#include <cstddef>
#include <string>

namespace console {

// POSIX: the entry rebuilds the process command line from argv. Windows
// ignores this and uses GetCommandLineW.
void set_arguments(int argc, char** argv);
// The process command line in UTF-16. POSIX decodes each argument as UTF-8
// (an argument holding a blank is put in double quotes); a byte that is not
// part of well-formed UTF-8 becomes the lone surrogate U+DC00 + byte, which
// no name may hold (see file_name_acceptable).
std::u16string command_line();

// Directory of the running executable with its trailing separator, when the
// system can tell it directly (POSIX). Empty when it cannot; the caller then
// falls back to the command line's first token.
std::u16string executable_dir();

// Whether a debugger listens on the debug channel: always on Windows (the
// system drops what nobody reads), on POSIX while a debugger or tracer is
// attached (TracerPid in /proc/self/status, read once).
bool debug_channel_listening();
void debug_channel_write(const char* ansi_line);

// A modal message box without owner. POSIX: "<caption>: <text>" on standard
// error, as if OK was pressed.
int message_box(const char* text, const char* caption, unsigned style);

// Console output: UTF-8 text to standard output. POSIX and a Windows
// standard output that is no console get the bytes unchanged; a Windows
// console gets the text as wide characters.
void console_write(const char* bytes, std::size_t count);
// The same for standard error (diagnoses, messages sent there by /o:-),
// flushed at once; standard output is flushed first, so that a terminal
// showing both shows them in the order written.
void error_write(const char* bytes, std::size_t count);

[[noreturn]] void exit_process(int status);

}  // namespace console
