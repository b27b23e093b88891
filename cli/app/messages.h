// The program's console output and its debug channel.
//
// Everything the user reads goes to standard output through the printers:
// formatted into 1024 units, written as UTF-8.
#pragma once

#include "common/report.h"
#include "common/types.h"

void print_message(const char16_t* format, ...);
void print_load_message(const char16_t* format, ...);
void print_error(const char16_t* format, ...);
void print_text(const char16_t* text);

// Writes `text` (when given) and ends the process with exit status 1.
[[noreturn]] void fatal_exit(const char16_t* text);

// A reporter whose lines go to the debug channel (while a debugger
// listens) and whose message boxes are shown.
sReporter program_reporter();
