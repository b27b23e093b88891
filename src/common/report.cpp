#include "common/report.h"

#include <cstdarg>

#include "common/format.h"
#include "common/text_convert.h"

namespace {

constexpr sUInt kReportMessageUnits = 1024;
constexpr sUInt kModuleNameUnits = 256;
constexpr sUInt kReportLineUnits = 1024;
constexpr sUInt kMessageBoxBytes = 1024;

void write_report(sReporter& rep, const char16_t* format, va_list args) {
  if (!rep.listening()) {
    rep.error_with_file = 0;
    return;
  }
  char16_t message[kReportMessageUnits];
  vformat_text_n(message, kReportMessageUnits, format, args);
  char16_t module[kModuleNameUnits];
  str_to_wstr(module, rep.error_file != nullptr ? rep.error_file : "", kModuleNameUnits);
  char16_t line[kReportLineUnits];
  if (rep.error_with_file) {
    format_text_n(line, kReportLineUnits, u":\"%s\" : %s [File: %s Line: %u]",
                  rep.definition_file != nullptr ? rep.definition_file : u"", message, module, rep.error_line);
    rep.error_with_file = 0;
  } else {
    format_text_n(line, kReportLineUnits, u"%s [File: %s Line: %u]", message, module, rep.error_line);
  }
  char ansi[kAnsiBufferBytes];
  wstr_to_ansi(line, ansi);
  rep.sink.debug_line(rep.sink.user, ansi);
}

}  // namespace

void debug_report(sReporter& rep, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  write_report(rep, format, args);
  va_end(args);
}

void report_failed_check(sReporter& rep, const char* module, sUInt line, const char16_t* condition, bool with_file) {
  rep.error_file = module;
  rep.error_line = line;
  if (with_file) rep.error_with_file = 1;
  debug_report(rep, u"\nFAILED: %s", condition);
}

void report_at(sReporter& rep, const char* module, sUInt line, const char16_t* format, ...) {
  rep.error_file = module;
  rep.error_line = line;
  va_list args;
  va_start(args, format);
  write_report(rep, format, args);
  va_end(args);
}

int error_box(sReporter& rep, unsigned style, const char16_t* text) {
  char bytes[kMessageBoxBytes];
  wstr_to_str(bytes, text, kMessageBoxBytes);
  if (rep.sink.message_box == nullptr) return 1;
  return rep.sink.message_box(rep.sink.user, bytes, "Vexlor Unicode", style);
}
