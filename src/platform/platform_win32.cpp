// Windows side of the platform layer: the real Windows interfaces.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <new>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

// Longest name between separators and longest path the wide-character
// interfaces take.
constexpr std::size_t kNameMax = 255;
constexpr std::size_t kPathMax = 32767;

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/' || c == L':'; }

// Another process replacing the same file (two builds writing one output)
// holds it for a moment: opening or replacing it then fails with a sharing
// violation, or with "access denied" while the old file's delete is still
// pending. Such a failure is tried again for up to about two seconds; a
// file that is read-only or a directory is refused at once.
bool passing_conflict(const std::wstring& path, DWORD error) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ||
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

template <class Attempt>
bool retry_conflicts(const std::wstring& path, Attempt attempt) {
  DWORD pause = 1;
  for (DWORD waited = 0;; waited += pause, pause = pause < 64 ? pause * 2 : pause) {
    if (attempt()) return true;
    const DWORD error = GetLastError();
    if (waited >= 2000 || !passing_conflict(path, error)) {
      SetLastError(error);
      return false;
    }
    Sleep(pause);
  }
}

}  // namespace

struct Output {
  std::FILE* file = nullptr;
  std::wstring temp;  // empty for a target written directly
  std::wstring target;
};

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

bool file_name_representable(const char16_t* /*name*/) { return true; }

bool file_name_within_limits(const char16_t* name) {
  std::size_t total = 0;
  std::size_t part = 0;
  for (const char16_t* p = name; *p != 0; ++p, ++total) {
    part = is_separator(static_cast<wchar_t>(*p)) ? 0 : part + 1;
    if (part > kNameMax) return false;
  }
  return total < kPathMax;
}

std::FILE* open_file(const char16_t* name, const char* mode) {
  if (name == nullptr) return nullptr;
  std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(wide(name), wide_mode.c_str());
}

Output* open_output(const char16_t* name) {
  if (name == nullptr || name[0] == 0) return nullptr;
  const std::wstring path(wide(name));
  // Opened for writing without being changed: whether the user may write
  // it, and what it is. A directory and a read-only file fail here.
  HANDLE probe = INVALID_HANDLE_VALUE;
  retry_conflicts(path, [&] {
    probe = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return probe != INVALID_HANDLE_VALUE;
  });
  if (probe == INVALID_HANDLE_VALUE) {
    // A new file; a missing directory fails when the temporary file is made.
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return nullptr;
  } else {
    const DWORD type = GetFileType(probe);
    CloseHandle(probe);
    if (type != FILE_TYPE_DISK) {
      // A device (NUL, CON, a pipe) takes the data as it comes.
      auto* output = new (std::nothrow) Output;
      if (output == nullptr) return nullptr;
      output->file = _wfopen(path.c_str(), L"w+b");
      if (output->file == nullptr) {
        delete output;
        return nullptr;
      }
      return output;
    }
  }
  std::size_t name_start = path.size();
  while (name_start > 0 && !is_separator(path[name_start - 1])) --name_start;
  const std::wstring dir = path.substr(0, name_start);
  const std::wstring own_name = path.substr(name_start);
  if (own_name.empty() || own_name.size() > kNameMax) return nullptr;
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  for (unsigned n = 0; n < 10000; ++n) {
    const std::wstring suffix = L"." + pid + L"-" + std::to_wstring(n) + L".tmp";
    std::wstring stem = own_name.substr(0, kNameMax - suffix.size());
    // A pair of surrogates stays whole.
    if (!stem.empty() && stem.size() < own_name.size() && stem.back() >= 0xD800 && stem.back() <= 0xDBFF) {
      stem.pop_back();
    }
    const std::wstring temp = dir + stem + suffix;
    HANDLE handle = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
      CloseHandle(handle);
      DeleteFileW(temp.c_str());
      return nullptr;
    }
    auto* output = new (std::nothrow) Output;
    std::FILE* file = output != nullptr ? _wfdopen(fd, L"w+b") : nullptr;
    if (file == nullptr) {
      delete output;
      _close(fd);
      DeleteFileW(temp.c_str());
      return nullptr;
    }
    output->file = file;
    output->temp = temp;
    output->target = path;
    return output;
  }
  return nullptr;
}

std::FILE* output_file(const Output* output) { return output != nullptr ? output->file : nullptr; }

bool close_output(Output* output, bool keep) {
  if (output == nullptr) return false;
  bool ok = std::fclose(output->file) == 0;
  if (!output->temp.empty()) {
    ok = ok && keep && retry_conflicts(output->target, [output] {
           return MoveFileExW(output->temp.c_str(), output->target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
         });
    if (!ok) DeleteFileW(output->temp.c_str());
  }
  delete output;
  return ok;
}

void write_fault_strike(WriteFault kind) {
  if (kind == WriteFault::kStop) TerminateProcess(GetCurrentProcess(), 9);
  if (kind == WriteFault::kAbort) std::abort();
}

}  // namespace platform
