#include "common/file_names.h"

#include <cstring>
#include <string>

#include "common/report.h"
#include "common/text_convert.h"
#include "platform/platform.h"

bool file_name_to_8bit(sReporter& rep, const char16_t* name, char* out) {
  if (!file_name_usable(rep, name)) return false;
  std::string bytes;
  if (!utf16_to_utf8_strict(name, bytes) || bytes.size() >= kFileNameBytes) return false;
  std::memcpy(out, bytes.c_str(), bytes.size() + 1);
  return true;
}

bool file_name_usable(sReporter& rep, const char16_t* name) {
  if (name == nullptr) return false;
  if (platform::file_name_representable(name)) return true;
  error_box(rep, 16, u"Non-ASCII characters in filenames not currently supported");
  return false;
}

std::FILE* open_file_utf16(sReporter& rep, const char16_t* name, const char* mode) {
  if (!file_name_usable(rep, name)) return nullptr;
  return platform::open_file(name, mode);
}

bool file_name_acceptable(const char16_t* name) {
  return name != nullptr && utf16_well_formed(name) && platform::file_name_within_limits(name);
}

bool write_whole_file(const char16_t* name, const void* bytes, std::size_t count) {
  platform::Output* output = platform::open_output(name);
  if (output == nullptr) return false;
  const bool written = count == 0 || std::fwrite(bytes, 1, count, platform::output_file(output)) == count;
  return platform::close_output(output, written) && written;
}
