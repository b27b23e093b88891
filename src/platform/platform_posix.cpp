// POSIX side of the platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <new>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/text_convert.h"
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

// Names the system refuses are longer than this (bytes of one part) unless
// the file system says otherwise.
constexpr long kDefaultNameMax = 255;
// Symbolic links followed from an output's name to its file (as the kernel's
// own limit).
constexpr int kMaxLinkHops = 40;

// The directory part of a path with its trailing "/" ("" for none), and the
// name after it.
std::string dir_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string name_part(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

long name_max_of(const std::string& dir) {
  const long limit = pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
  return limit > 0 ? limit : kDefaultNameMax;
}

// The file an output's name leads to: symbolic links are followed to the
// file they name, which need not exist yet. False when the name cannot be
// followed (a loop, an unreadable link, a directory that cannot be looked
// into). `exists` tells whether the file is there, `st` is then its status.
bool follow_links(const std::string& name, std::string* target, bool* exists, struct stat* st) {
  std::string path = name;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    if (lstat(path.c_str(), st) != 0) {
      if (errno != ENOENT) return false;
      *target = path;
      *exists = false;
      return true;
    }
    if (!S_ISLNK(st->st_mode)) {
      *target = path;
      *exists = true;
      return true;
    }
    char link[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), link, sizeof link);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link) return false;
    const std::string to(link, static_cast<std::size_t>(n));
    path = to[0] == '/' ? to : dir_part(path) + to;
  }
  return false;
}

// Cuts `name` to at most `bytes` bytes without splitting a UTF-8 character.
std::string cut_utf8(const std::string& name, std::size_t bytes) {
  if (name.size() <= bytes) return name;
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

}  // namespace

struct Output {
  std::FILE* file = nullptr;
  std::string temp;    // empty for a target written directly
  std::string target;  // the file the temporary file replaces
};

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
  if (end <= start) return;
  // Stretches of 2 MB and more are worth huge pages where the system gives
  // them on request: one fault and one TLB entry for 512 pages.
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto huge_start = (start + kHuge - 1) & ~(kHuge - 1);
  const auto huge_end = end & ~(kHuge - 1);
  if (huge_end > huge_start) madvise(reinterpret_cast<void*>(huge_start), huge_end - huge_start, MADV_HUGEPAGE);
  madvise(reinterpret_cast<void*>(start), end - start, kPopulateWrite);
#else
  (void)block;
  (void)bytes;
#endif
}

bool file_name_representable(const char16_t* name) { return utf16_well_formed(name); }

bool file_name_within_limits(const char16_t* name) {
  std::string path;
  if (!utf16_to_utf8_strict(name, path)) return false;
  if (path.size() >= PATH_MAX) return false;
  const long name_max = name_max_of(dir_part(path));
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (static_cast<long>(end - start) > name_max) return false;
    start = end + 1;
  }
  return true;
}

std::FILE* open_file(const char16_t* name, const char* mode) {
  std::string path;
  if (name == nullptr || !utf16_to_utf8_strict(name, path)) return nullptr;
  return std::fopen(path.c_str(), mode);
}

Output* open_output(const char16_t* name) {
  std::string path;
  if (name == nullptr || !utf16_to_utf8_strict(name, path) || path.empty()) return nullptr;
  std::string target;
  bool exists = false;
  struct stat st {};
  if (!follow_links(path, &target, &exists, &st)) return nullptr;
  auto* output = new (std::nothrow) Output;
  if (output == nullptr) return nullptr;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a FIFO takes the data as it comes; a directory fails here.
    output->file = std::fopen(path.c_str(), "w+b");
    if (output->file == nullptr) {
      delete output;
      return nullptr;
    }
    return output;
  }
  // Only a file the user may write is replaced, as if it were written in
  // place. AT_EACCESS: the effective ids count, as they do for an open.
  if (exists && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    delete output;
    return nullptr;
  }
  const std::string dir = dir_part(target);
  const std::string own_name = name_part(target);
  const auto name_max = static_cast<std::size_t>(name_max_of(dir));
  if (own_name.empty() || own_name.size() > name_max) {
    delete output;
    return nullptr;
  }
  const std::string pid = std::to_string(static_cast<long>(getpid()));
  // A leftover of a stopped process, or another conversion of this one,
  // may hold a name: the next number is tried.
  for (unsigned n = 0; n < 10000; ++n) {
    const std::string suffix = "." + pid + "-" + std::to_string(n) + ".tmp";
    if (suffix.size() >= name_max) break;
    const std::string temp = dir + cut_utf8(own_name, name_max - suffix.size()) + suffix;
    // A new file gets what std::fopen would give it (0666 less the umask);
    // a replacement gets the old file's bits (and owner, when allowed), set
    // before anything is written.
    const int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    if (exists) {
      if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Not allowed to: the new file stays the user's own.
      }
      if (fchmod(fd, st.st_mode & 07777) != 0) {
        close(fd);
        unlink(temp.c_str());
        break;
      }
    }
    output->file = fdopen(fd, "w+b");
    if (output->file == nullptr) {
      close(fd);
      unlink(temp.c_str());
      break;
    }
    output->temp = temp;
    output->target = target;
    return output;
  }
  delete output;
  return nullptr;
}

std::FILE* output_file(const Output* output) { return output != nullptr ? output->file : nullptr; }

bool close_output(Output* output, bool keep) {
  if (output == nullptr) return false;
  bool ok = std::fclose(output->file) == 0;
  if (!output->temp.empty()) {
    ok = ok && keep && std::rename(output->temp.c_str(), output->target.c_str()) == 0;
    if (!ok) unlink(output->temp.c_str());
  }
  delete output;
  return ok;
}

void write_fault_strike(WriteFault kind) {
  if (kind == WriteFault::kStop) raise(SIGSTOP);
  if (kind == WriteFault::kAbort) std::abort();
}

}  // namespace platform
