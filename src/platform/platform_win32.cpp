// Windows side of the platform layer: the real Windows interfaces.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>


#include "platform/platform.h"

namespace platform {

bool ansi_to_utf16(const char* src, char16_t* dst, unsigned capacity) {
  int n = MultiByteToWideChar(CP_ACP, 0, src, -1, reinterpret_cast<wchar_t*>(dst), static_cast<int>(capacity));
  return n != 0;
}

bool utf16_to_ansi(const char16_t* src, char* dst, unsigned capacity) {
  int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(src), -1, dst, static_cast<int>(capacity),
                              nullptr, nullptr);
  return n != 0;
}

char16_t path_separator() { return u'\\'; }

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

// Committed pages fault in as they are touched; no hint is given.
void prefault_memory(void* /*block*/, size_t /*bytes*/) {}

}  // namespace platform
