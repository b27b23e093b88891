// Arbitrary bytes as the configuration file.
#include <cstdint>
#include <cstdlib>

#include "common/list.h"
#include "fuzz_support.h"
#include "tables/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string path = vxfuzz::put_file("input.cfg", vxfuzz::bytes_of(data, size));
  sConfig config;
  const int loaded = tokutil_load_config(vxfuzz::reporter(), config, path.c_str());
  if (loaded != (config.ext_table != nullptr)) std::abort();
  // The names always stay terminated inside their buffers.
  if (std::char_traits<char16_t>::length(config.coreids_file) >= kPathCapacity) std::abort();
  if (std::char_traits<char16_t>::length(config.appids_file) >= kPathCapacity) std::abort();
  if (loaded) {
    for (sListNode* n = config.ext_table->entries->next; n != config.ext_table->entries; n = n->next) {
      const auto* entry = static_cast<const sExtEntry*>(n->data);
      if (entry->text_ext == nullptr || entry->desc == nullptr) std::abort();
    }
  }
  tokutil_free_config(config);
  if (config.ext_table != nullptr) std::abort();
  return 0;
}
