// POSIX side of the program's platform layer.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/text_convert.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace console {

namespace {

std::u16string g_command_line;
int g_tracer_state = -1;  // -1 unknown, 0 none, 1 attached

bool needs_quotes(const char* arg) {
  if (*arg == 0) return true;
  for (const char* p = arg; *p != 0; ++p) {
    if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') return true;
  }
  return false;
}

}  // namespace

void set_arguments(int argc, char** argv) {
  g_command_line.clear();
  for (int i = 0; i < argc; ++i) {
    if (i != 0) g_command_line += u' ';
    const bool quoted = needs_quotes(argv[i]);
    if (quoted) g_command_line += u'"';
    utf8_to_utf16_marked(argv[i], g_command_line);
    if (quoted) g_command_line += u'"';
  }
}

std::u16string command_line() { return g_command_line; }

std::u16string executable_dir() {
  char path[PATH_MAX + 1];
  ssize_t len = readlink("/proc/self/exe", path, PATH_MAX);
  if (len <= 0) return {};
  path[len] = 0;
  char* slash = std::strrchr(path, '/');
  if (slash == nullptr) return {};
  slash[1] = 0;
  char16_t wide[PATH_MAX + 1];
  if (!platform::ansi_to_utf16(path, wide, PATH_MAX + 1)) return {};
  return std::u16string(wide);
}

bool debug_channel_listening() {
  if (g_tracer_state < 0) {
    g_tracer_state = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
      char line[256];
      while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
          g_tracer_state = std::atol(line + 10) != 0 ? 1 : 0;
          break;
        }
      }
      std::fclose(status);
    }
  }
  return g_tracer_state == 1;
}

void debug_channel_write(const char* ansi_line) {
  // One call per line: conversions on several threads never mix their lines.
  std::fprintf(stderr, "%s\n", ansi_line);
  std::fflush(stderr);
}

int message_box(const char* text, const char* caption, unsigned /*style*/) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  return 1;  // IDOK
}

void console_write(const char* bytes, std::size_t count) { std::fwrite(bytes, 1, count, stdout); }

void error_write(const char* bytes, std::size_t count) {
  std::fflush(stdout);
  std::fwrite(bytes, 1, count, stderr);
  std::fflush(stderr);
}

void exit_process(int status) {
  std::fflush(stdout);
  std::exit(status);
}

}  // namespace console
