// POSIX side of the platform layer.
#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/utf8.h"
#include "platform/platform.h"

namespace platform {

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool ends_with_bnf(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.c_str() + name.size() - 4;
  return tail[0] == '.' && fold(tail[1]) == 'b' && fold(tail[2]) == 'n' && fold(tail[3]) == 'f';
}

}  // namespace

// UTF-8 stands in for the ANSI code page.
bool ansi_to_utf16(const char* src, char16_t* dst, unsigned capacity) { return utf8_to_utf16(src, dst, capacity); }

bool utf16_to_ansi(const char16_t* src, char* dst, unsigned capacity) { return utf16_to_utf8(src, dst, capacity); }

char16_t path_separator() { return u'/'; }

std::vector<std::string> find_bnf_files(const std::string& dir_prefix) {
  std::vector<std::string> names;
  DIR* dir = opendir(dir_prefix.empty() ? "." : dir_prefix.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (!ends_with_bnf(name)) continue;
    struct stat st;
    std::string path = dir_prefix + name;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      char ca = fold(a[i]), cb = fold(b[i]);
      if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
  });
  return names;
}

void prefault_memory(void* block, size_t bytes) {
#if defined(__linux__)
  // MADV_POPULATE_WRITE (Linux 5.14); older systems refuse it, and the pages
  // then fault in as they are touched.
  constexpr int kPopulateWrite = 23;
  const long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return;
  const auto mask = static_cast<std::uintptr_t>(page) - 1;
  const auto start = (reinterpret_cast<std::uintptr_t>(block) + mask) & ~mask;
  const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~mask;
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, kPopulateWrite);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace platform
