// The command-line tokenizer and the application's item handler.
//
// Items are split into pieces: a switch item ("+", "-", "/", "@") has its
// pieces separated by ":" first and "," after; a plain item is one piece.
// Only the first 17 pieces of an item are handed over.
#pragma once

#include <cstdint>

#include "common/types.h"

enum sCmdLineKind : sUInt {
  CL_PLAIN = 0,
  CL_PLUS = 1,
  CL_MINUS = 2,
  CL_SLASH = 3,
  CL_AT = 4,
  CL_PROGRAM = 5,
  // An item beginning with "--": a long option, handed over whole (after
  // the "--"), never split into pieces.
  CL_LONG = 6,
};

inline constexpr int kCmdLineMaxSubValues = 16;

// Returns nonzero to go on, 0 to stop the parse.
using CmdLineHandler = int (*)(std::uintptr_t context, sUInt kind, const char16_t* text, sUInt length,
                               int sub_count, const char16_t* const* sub_values, const sUInt* sub_lengths);

// Parses the process's command line.
sUInt cmdline_parse(std::uintptr_t context, CmdLineHandler handler);
// Parses the given text (the converted command line; at most 2047 units).
sUInt cmdline_parse_text(const char16_t* command_line, std::uintptr_t context, CmdLineHandler handler);

// The program's handler: `context` is the address of the sAppState to fill.
int on_cmdline_item(std::uintptr_t context, sUInt kind, const char16_t* text, sUInt length, int sub_count,
                    const char16_t* const* sub_values, const sUInt* sub_lengths);

struct sReporter;

// The directory of the running program with its trailing separator.
int get_module_dir(sReporter& rep, char16_t* buffer, sUInt capacity);
// The rule on the command line's first token (used where the system cannot
// tell the executable's directory; exposed for tests).
int get_module_dir_from_command_line(sReporter& rep, const char16_t* command_line, char16_t* buffer, sUInt capacity);
