// Windows side of the program's platform layer: the real Windows interfaces.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/console.h"

namespace console {

void set_arguments(int, char**) {}

std::u16string command_line() {
  const wchar_t* cl = GetCommandLineW();
  return cl != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(cl)) : std::u16string();
}

// Windows takes the program directory from the command line's first token.
std::u16string executable_dir() { return {}; }

bool debug_channel_listening() { return true; }

void debug_channel_write(const char* ansi_line) { OutputDebugStringA(ansi_line); }

int message_box(const char* text, const char* caption, unsigned style) {
  return MessageBoxA(nullptr, text, caption, style);
}

void console_write(const char* bytes, std::size_t count) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (count == 0 || out == INVALID_HANDLE_VALUE || out == nullptr || !GetConsoleMode(out, &mode)) {
    std::fwrite(bytes, 1, count, stdout);
    return;
  }
  // A console shows wide characters whatever its code page.
  const int units = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), nullptr, 0);
  if (units <= 0) return;
  std::wstring text(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), text.data(), units);
  std::fflush(stdout);
  DWORD written = 0;
  WriteConsoleW(out, text.data(), static_cast<DWORD>(units), &written, nullptr);
}

void exit_process(int status) {
  std::fflush(stdout);
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace console
