// Windows side of the program's platform layer: the real Windows interfaces.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"

namespace console {

void set_arguments(int, char**) {}

std::string command_line() {
  const char* cl = GetCommandLineA();
  return cl != nullptr ? std::string(cl) : std::string();
}

// Windows takes the program directory from the command line's first token.
std::u16string executable_dir() { return {}; }

bool debug_channel_listening() { return true; }

void debug_channel_write(const char* ansi_line) { OutputDebugStringA(ansi_line); }

int message_box(const char* text, const char* caption, unsigned style) {
  return MessageBoxA(nullptr, text, caption, style);
}

void console_write(const char* bytes, std::size_t count) { std::fwrite(bytes, 1, count, stdout); }

void exit_process(int status) {
  std::fflush(stdout);
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace console
