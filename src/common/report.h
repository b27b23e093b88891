// Problem reporting: the debug channel and the check convention.
//
// Failed internal checks go to the debug channel only, one line each:
//   "<message> [File: <module> Line: <line>]"
// or, for a check on a definition file being read (error_with_file set),
//   ":\"<definition file>\" : <message> [File: <module> Line: <line>]".
//
// The library never prints: a reporter hands each finished line to the sink
// its owner installed. Every conversion and every definitions load has a
// reporter of its own, so threads never share one. While no sink listens,
// a report costs a pointer test and nothing is formatted.
#pragma once

#include "common/types.h"

// Where a reporter's lines and message boxes go. All members may be null:
// without `debug_line` nobody listens, without `message_box` a box is
// answered as if OK was pressed and shown nowhere.
struct sReportSink {
  void* user = nullptr;
  // One report line in the ANSI code page (UTF-8 on POSIX), no line end.
  void (*debug_line)(void* user, const char* line) = nullptr;
  // A modal box without owner, with the caller's style.
  int (*message_box)(void* user, const char* text, const char* caption, unsigned style) = nullptr;
};

struct sReporter {
  sReportSink sink;
  // Report context, written right before each report.
  sUInt error_line = 0;
  const char* error_file = "";
  int error_with_file = 0;  // one-shot: cleared by the next report
  // The definition file being read, shown in the quoted field of the
  // colon-and-quote format. The loaders set it while they read a file; the
  // pointer must stay valid until it is replaced (or cleared with null).
  const char16_t* definition_file = nullptr;

  bool listening() const { return sink.debug_line != nullptr; }
};

// Module names of the report context.
inline constexpr const char* kModuleAppUtil = "AppUtil";
inline constexpr const char* kModuleBnfParse = "bnfparse";
inline constexpr const char* kModuleMain = "main";
inline constexpr const char* kModuleShpFile = "ShpFile";
inline constexpr const char* kModuleTokUtil = "TokUtil";

inline void set_report_definition_file(sReporter& rep, const char16_t* name) { rep.definition_file = name; }

// Formats (UTF-16 printf, see common/format.h) and hands over one report line.
void debug_report(sReporter& rep, const char16_t* format, ...);

// The check convention: a failed check reports "\nFAILED: " and the
// condition's source text, spelled exactly as the reference texts quote it.
// `with_file` sets error_with_file for this one report.
void report_failed_check(sReporter& rep, const char* module, sUInt line, const char16_t* condition,
                         bool with_file = false);

// Evaluates `cond`; when false, reports `text` under `module`/`line` and
// yields false.
#define VX_CHECK(rep, module, line, cond, text) \
  ((cond) ? true : (report_failed_check((rep), (module), (line), u"" text), false))
#define VX_CHECK_FILE(rep, module, line, cond, text) \
  ((cond) ? true : (report_failed_check((rep), (module), (line), u"" text, true), false))

// Sets the context and reports a free-format message.
void report_at(sReporter& rep, const char* module, sUInt line, const char16_t* format, ...);

// Modal message box with caption "Vexlor Unicode" and the caller's style.
int error_box(sReporter& rep, unsigned style, const char16_t* text);

// Last-error codes: set by a writer for the save step, which turns them
// into the message the user sees.
inline constexpr sUInt kErrorCannotWrite = 0x2000ff11u;  // "Could not write to file %s"
