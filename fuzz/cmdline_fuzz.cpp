// Arbitrary command lines (UTF-16, at most 2047 units as the conversion
// gives them) through the command-line tokenizer and the application's item
// handler, then the output naming: the names always stay terminated inside
// their 260 units, and a completed output name fits them too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "app/cmdline.h"
#include "app/paths.h"

namespace {

sUInt terminated_length(const char16_t* text, sUInt capacity) {
  for (sUInt i = 0; i < capacity; ++i) {
    if (text[i] == 0) return i;
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string line;
  for (std::size_t i = 0; i + 1 < size && line.size() < 2047; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    line += unit;
  }
  sAppState app_state{};
  cmdline_parse_text(line.c_str(), reinterpret_cast<std::uintptr_t>(&app_state), on_cmdline_item);
  terminated_length(app_state.source_name, kPathCapacity);
  terminated_length(app_state.output_name, kPathCapacity);
  if (app_state.compress_option > kCompressOff) std::abort();

  char16_t base_buffer[kPathCapacity];
  const char16_t* base = path_base_name(app_state.source_name, base_buffer);
  if (base != nullptr) terminated_length(base, kPathCapacity);
  char16_t out[kPathCapacity];
  for (sUInt i = 0; i < kPathCapacity; ++i) out[i] = app_state.output_name[i];
  if (make_output_name(out, kPathCapacity, base)) terminated_length(out, kPathCapacity);
  path_find_ext(out);
  path_find_name(out);
  return 0;
}
