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

// UTF-8 stands in for the ANSI code page. Malformed bytes become U+FFFD; code
// points beyond the basic plane become surrogate pairs.
bool ansi_to_utf16(const char* src, char16_t* dst, unsigned capacity) {
  unsigned n = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(src);
  while (*p != 0) {
    char32_t cp;
    int extra;
    if (*p < 0x80) {
      cp = *p;
      extra = 0;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      cp = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      cp = *p & 0x07;
      extra = 3;
    } else {
      cp = 0xFFFD;
      extra = -1;
    }
    ++p;
    if (extra > 0) {
      for (int i = 0; i < extra; ++i) {
        if ((*p & 0xC0) != 0x80) {
          cp = 0xFFFD;
          break;
        }
        cp = (cp << 6) | (*p++ & 0x3F);
      }
    } else if (extra < 0) {
      cp = 0xFFFD;
    }
    if (cp > 0x10FFFF) cp = 0xFFFD;
    if (cp >= 0x10000) {
      if (n + 2 >= capacity) return false;
      cp -= 0x10000;
      dst[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      dst[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      if (n + 1 >= capacity) return false;
      dst[n++] = static_cast<char16_t>(cp);
    }
  }
  if (n >= capacity) return false;
  dst[n] = 0;
  return true;
}

bool utf16_to_ansi(const char16_t* src, char* dst, unsigned capacity) {
  unsigned n = 0;
  for (const char16_t* p = src; *p != 0; ++p) {
    char32_t cp = *p;
    if (cp >= 0xD800 && cp <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    char bytes[4];
    unsigned len;
    if (cp < 0x80) {
      bytes[0] = static_cast<char>(cp);
      len = 1;
    } else if (cp < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
      bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 2;
    } else if (cp < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
      bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
      bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 4;
    }
    if (n + len >= capacity) {
      dst[n] = 0;  // the cut text
      return false;
    }
    std::memcpy(dst + n, bytes, len);
    n += len;
  }
  if (n >= capacity) return false;
  dst[n] = 0;
  return true;
}

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
