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

namespace {

// UTF-8 text to a standard stream: a console shows wide characters whatever
// its code page; a file or a pipe gets the bytes unchanged.
void stream_write(DWORD which, std::FILE* stream, const char* bytes, std::size_t count) {
  HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  if (count == 0 || handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode)) {
    std::fwrite(bytes, 1, count, stream);
    return;
  }
  const int units = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), nullptr, 0);
  if (units <= 0) return;
  std::wstring text(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), text.data(), units);
  std::fflush(stream);
  DWORD written = 0;
  WriteConsoleW(handle, text.data(), static_cast<DWORD>(units), &written, nullptr);
}

}  // namespace

void console_write(const char* bytes, std::size_t count) { stream_write(STD_OUTPUT_HANDLE, stdout, bytes, count); }

void error_write(const char* bytes, std::size_t count) {
  std::fflush(stdout);
  stream_write(STD_ERROR_HANDLE, stderr, bytes, count);
  std::fflush(stderr);
}

void exit_process(int status) {
  std::fflush(stdout);
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace console
