// Arbitrary bytes as the configuration file.
#include <cstdint>
#include <cstdlib>

#include "common/list.h"
#include "fuzz_support.h"
#include "tables/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string path = vxfuzz::put_file("input.cfg", vxfuzz::bytes_of(data, size));
  coreids_file[0] = 0;
  appids_file[0] = 0;
  const int loaded = tokutil_load_config(path.c_str());
  if (loaded != (ext_table != nullptr)) std::abort();
  // The names always stay terminated inside their buffers.
  if (std::char_traits<char16_t>::length(coreids_file) >= kPathCapacity) std::abort();
  if (std::char_traits<char16_t>::length(appids_file) >= kPathCapacity) std::abort();
  if (loaded) {
    for (sListNode* n = ext_table->entries->next; n != ext_table->entries; n = n->next) {
      const auto* entry = static_cast<const sExtEntry*>(n->data);
      if (entry->text_ext == nullptr || entry->desc == nullptr) std::abort();
    }
  }
  tokutil_free_config();
  if (ext_table != nullptr) std::abort();
  return 0;
}
