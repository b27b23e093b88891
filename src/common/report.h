// Problem reporting: the debug channel, the console printers and the check
// convention.
//
// Failed internal checks go to the debug channel only, one line each:
//   "<message> [File: <module> Line: <line>]"
// or, for a check on a definition file being read (error_with_file set),
//   ":\"<definition file>\" : <message> [File: <module> Line: <line>]".
// Everything the user reads goes to standard output through the printers.
#pragma once

#include "common/types.h"

// Report context, written right before each report.
extern sUInt error_line;
extern const char* error_file;
extern int error_with_file;  // one-shot: cleared by the next report

// Module names of the report context.
inline constexpr const char* kModuleAppUtil = "AppUtil";
inline constexpr const char* kModuleBnfParse = "bnfparse";
inline constexpr const char* kModuleMain = "main";
inline constexpr const char* kModuleShpFile = "ShpFile";
inline constexpr const char* kModuleTokUtil = "TokUtil";

// The definition file being read, shown in the quoted field of the
// colon-and-quote format. The loaders set it while they read a file; the
// pointer must stay valid until it is replaced (or cleared with null).
void set_report_definition_file(const char16_t* name);

// Formats (UTF-16 printf, see common/format.h) and writes one report line.
// Costs nothing beyond a flag test while nobody listens on the channel.
void debug_report(const char16_t* format, ...);

// The check convention: a failed check reports "\nFAILED: " and the
// condition's source text, spelled exactly as the reference texts quote it.
// `with_file` sets error_with_file for this one report.
void report_failed_check(const char* module, sUInt line, const char16_t* condition, bool with_file = false);

// Evaluates `cond`; when false, reports `text` under `module`/`line` and
// yields false.
#define VX_CHECK(module, line, cond, text) \
  ((cond) ? true : (report_failed_check((module), (line), u"" text), false))
#define VX_CHECK_FILE(module, line, cond, text) \
  ((cond) ? true : (report_failed_check((module), (line), u"" text, true), false))

// Sets the context and reports a free-format message.
void report_at(const char* module, sUInt line, const char16_t* format, ...);

// Console printers: format into 1024 units, write the low byte of each unit.
void print_message(const char16_t* format, ...);
void print_load_message(const char16_t* format, ...);
void print_error(const char16_t* format, ...);
void print_text(const char16_t* text);

// Modal message box with caption "Vexlor Unicode" and the caller's style.
int error_box(unsigned style, const char16_t* text);

// Writes `text` (when given) and ends the process with exit status 1.
[[noreturn]] void fatal_exit(const char16_t* text);

// Process-wide last-error code consulted by the save step before it prints
// the generic write error.
extern sUInt last_error_code;
inline constexpr sUInt kErrorLiteralsWithoutBinary = 0x2000ff10u;  // "Not all literals ..."
inline constexpr sUInt kErrorCannotWrite = 0x2000ff11u;            // "Could not write to file %s"
