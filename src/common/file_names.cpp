#include "common/file_names.h"

#include "common/report.h"

bool file_name_to_8bit(sReporter& rep, const char16_t* name, char* out) {
  if (name == nullptr) return false;
  sUInt i = 0;
  for (; name[i] != 0; ++i) {
    if (i + 1 >= kFileNameBytes) return false;
    if (name[i] > 0x7F) {
      error_box(rep, 16, u"Non-ASCII characters in filenames not currently supported");
      return false;
    }
    out[i] = static_cast<char>(name[i]);
  }
  out[i] = 0;
  return true;
}

std::FILE* open_file_utf16(sReporter& rep, const char16_t* name, const char* mode) {
  char narrow[kFileNameBytes];
  if (!file_name_to_8bit(rep, name, narrow)) return nullptr;
  return std::fopen(narrow, mode);
}
