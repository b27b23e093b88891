#include "common/report.h"

#include <cstdarg>

#include "common/format.h"
#include "common/text_convert.h"
#include "platform/platform.h"

sUInt error_line = 0;
const char* error_file = "";
int error_with_file = 0;
sUInt last_error_code = 0;

namespace {

constexpr sUInt kReportMessageUnits = 1024;
constexpr sUInt kModuleNameUnits = 256;
constexpr sUInt kReportLineUnits = 1024;
constexpr sUInt kConsoleUnits = 1024;
constexpr sUInt kConsoleBytes = 1024;
constexpr sUInt kMessageBoxBytes = 1024;

const char16_t* definition_file = nullptr;

void write_report(const char16_t* format, va_list args) {
  if (!platform::debug_channel_active()) {
    error_with_file = 0;
    return;
  }
  char16_t message[kReportMessageUnits];
  vformat_text_n(message, kReportMessageUnits, format, args);
  char16_t module[kModuleNameUnits];
  str_to_wstr(module, error_file != nullptr ? error_file : "", kModuleNameUnits);
  char16_t line[kReportLineUnits];
  if (error_with_file) {
    format_text_n(line, kReportLineUnits, u":\"%s\" : %s [File: %s Line: %u]",
                  definition_file != nullptr ? definition_file : u"", message, module, error_line);
    error_with_file = 0;
  } else {
    format_text_n(line, kReportLineUnits, u"%s [File: %s Line: %u]", message, module, error_line);
  }
  platform::debug_channel_write(wstr_to_ansi(line));
}

void print_formatted(const char16_t* format, va_list args) {
  char16_t text[kConsoleUnits];
  vformat_text_n(text, kConsoleUnits, format, args);
  print_text(text);
}

}  // namespace

void set_report_definition_file(const char16_t* name) { definition_file = name; }

void debug_report(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  write_report(format, args);
  va_end(args);
}

void report_failed_check(const char* module, sUInt line, const char16_t* condition, bool with_file) {
  error_file = module;
  error_line = line;
  if (with_file) error_with_file = 1;
  debug_report(u"\nFAILED: %s", condition);
}

void report_at(const char* module, sUInt line, const char16_t* format, ...) {
  error_file = module;
  error_line = line;
  va_list args;
  va_start(args, format);
  write_report(format, args);
  va_end(args);
}

void print_text(const char16_t* text) {
  char bytes[kConsoleBytes];
  wstr_to_str(bytes, text, kConsoleBytes);
  sUInt n = 0;
  while (bytes[n] != 0) ++n;
  platform::console_write(bytes, n);
}

void print_message(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  print_formatted(format, args);
  va_end(args);
}

void print_load_message(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  print_formatted(format, args);
  va_end(args);
}

void print_error(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  print_formatted(format, args);
  va_end(args);
}

int error_box(unsigned style, const char16_t* text) {
  char bytes[kMessageBoxBytes];
  wstr_to_str(bytes, text, kMessageBoxBytes);
  return platform::message_box(bytes, "Vexlor Unicode", style);
}

void fatal_exit(const char16_t* text) {
  if (text != nullptr) print_text(text);
  platform::exit_process(1);
}
