#include "app/messages.h"

#include <cstdarg>

#include "app/console_sink.h"

#include "common/format.h"
#include "common/utf8.h"
#include "platform/console.h"

namespace {

constexpr sUInt kConsoleUnits = 1024;
constexpr sUInt kConsoleBytes = 3 * kConsoleUnits + 1;

void print_formatted(const char16_t* format, va_list args) {
  char16_t text[kConsoleUnits];
  vformat_text_n(text, kConsoleUnits, format, args);
  print_text(text);
}

void write_debug_line(void*, const char* line) { console::debug_channel_write(line); }

int show_message_box(void*, const char* text, const char* caption, unsigned style) {
  return console::message_box(text, caption, style);
}

}  // namespace

void print_text(const char16_t* text) {
  // UTF-8: a unit takes at most three bytes, a pair of surrogates four.
  char bytes[kConsoleBytes];
  utf16_to_utf8(text, bytes, kConsoleBytes);
  sUInt n = 0;
  while (bytes[n] != 0) ++n;
  emit_console_bytes(bytes, n);
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

void fatal_exit(const char16_t* text) {
  if (text != nullptr) print_text(text);
  console::exit_process(1);
}

sReporter program_reporter() {
  sReporter rep;
  if (console::debug_channel_listening()) rep.sink.debug_line = write_debug_line;
  rep.sink.message_box = show_message_box;
  return rep;
}
