// Windows side of the platform layer: the real Windows interfaces.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

namespace {
DebugSink g_sink;
}

void set_arguments(int, char**) {}

std::string command_line() {
  const char* cl = GetCommandLineA();
  return cl != nullptr ? std::string(cl) : std::string();
}

bool ansi_to_utf16(const char* src, char16_t* dst, unsigned capacity) {
  int n = MultiByteToWideChar(CP_ACP, 0, src, -1, reinterpret_cast<wchar_t*>(dst), static_cast<int>(capacity));
  return n != 0;
}

bool utf16_to_ansi(const char16_t* src, char* dst, unsigned capacity) {
  int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(src), -1, dst, static_cast<int>(capacity),
                              nullptr, nullptr);
  return n != 0;
}

// Windows takes the program directory from the command line's first token.
std::u16string executable_dir() { return {}; }

char16_t path_separator() { return u'\\'; }

bool debug_channel_active() { return g_sink ? true : true; }

void debug_channel_write(const char* ansi_line) {
  if (g_sink) {
    g_sink(ansi_line);
    return;
  }
  OutputDebugStringA(ansi_line);
}

void set_debug_sink(DebugSink sink) { g_sink = std::move(sink); }

int message_box(const char* text, const char* caption, unsigned style) {
  return MessageBoxA(nullptr, text, caption, style);
}

std::vector<std::string> find_bnf_files(const std::string& dir_prefix) {
  std::vector<std::string> names;
  std::string pattern = dir_prefix + "*.bnf";
  WIN32_FIND_DATAA data;
  HANDLE handle = FindFirstFileA(pattern.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return names;
  do {
    names.emplace_back(data.cFileName);
  } while (FindNextFileA(handle, &data));
  FindClose(handle);
  return names;
}

void exit_process(int status) {
  std::fflush(stdout);
  ExitProcess(static_cast<UINT>(status));
}

void console_write(const char* bytes, size_t count) { std::fwrite(bytes, 1, count, stdout); }

// Committed pages fault in as they are touched; no hint is given.
void prefault_memory(void* /*block*/, size_t /*bytes*/) {}

}  // namespace platform
