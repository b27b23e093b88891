#include "app/paths.h"

#include <cstring>

#include "common/strings.h"

namespace {

bool is_dir_separator(char16_t c) { return c == u'\\' || c == u'/'; }
bool is_name_separator(char16_t c) { return is_dir_separator(c) || c == u':'; }

}  // namespace

const char16_t* path_find_ext(const char16_t* path) {
  if (path == nullptr) return nullptr;
  for (const char16_t* p = path + wstr_len(path); p > path;) {
    --p;
    if (*p == u'.') return p;
    if (is_name_separator(*p)) return nullptr;
  }
  return nullptr;
}

const char16_t* path_find_name(const char16_t* path) {
  if (path == nullptr) return nullptr;
  const char16_t* name = path;
  for (const char16_t* p = path; *p != 0; ++p) {
    if (is_dir_separator(*p)) name = p + 1;
  }
  return name;
}

const char16_t* path_base_name(const char16_t* path, char16_t* buffer) {
  if (path == nullptr) return nullptr;
  const char16_t* end = path_find_ext(path);
  if (end == nullptr) end = path + wstr_len(path);
  const char16_t* start = end;
  while (start > path && !is_name_separator(start[-1])) --start;
  sUInt length = static_cast<sUInt>(end - start);
  if (length == 0 || length >= kPathCapacity) return nullptr;
  std::memcpy(buffer, start, length * sizeof(char16_t));
  buffer[length] = 0;
  return buffer;
}

bool output_spec_has_file_part(const char16_t* spec) {
  if (spec == nullptr || spec[0] == 0) return false;
  const sUInt length = wstr_len(spec);
  const char16_t* dot = path_find_ext(spec);
  const sUInt insert_at = dot != nullptr ? static_cast<sUInt>(dot - spec) : length;
  return insert_at > 0 && !is_dir_separator(spec[insert_at - 1]);
}

int make_output_name(char16_t* out, sUInt capacity, const char16_t* base) {
  if (out == nullptr || base == nullptr || base[0] == 0) return 0;
  char16_t extension[kMaxExtensionUnits + 1] = {0};
  sUInt out_length = wstr_len(out);
  sUInt insert_at = out_length;
  if (const char16_t* dot = path_find_ext(out)) {
    sUInt ext_length = out_length - static_cast<sUInt>(dot - out);
    if (ext_length > kMaxExtensionUnits) return 0;  // refused, never cut
    std::memcpy(extension, dot, ext_length * sizeof(char16_t));
    extension[ext_length] = 0;
    insert_at = static_cast<sUInt>(dot - out);
  }
  // Anything but a directory separator before the insertion point is a file
  // part (a drive colon included): the name has its file part and stays.
  if (insert_at > 0 && !is_dir_separator(out[insert_at - 1])) return 1;
  sUInt ext_length = wstr_len(extension);
  sUInt base_length = wstr_len(base);
  if (insert_at + ext_length + base_length >= capacity) return 0;
  std::memcpy(out + insert_at, base, base_length * sizeof(char16_t));
  std::memcpy(out + insert_at + base_length, extension, ext_length * sizeof(char16_t));
  out[insert_at + base_length + ext_length] = 0;
  return 1;
}
