// Arbitrary bytes as the SIDN definitions file.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "tables/sidn.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string path = vxfuzz::put_file("input_sidn.txt", vxfuzz::bytes_of(data, size));
  sSIDNTable* table = nullptr;
  const int loaded = tokutil_load_sidn_table(vxfuzz::reporter(), table, path.c_str());
  if (loaded != (table != nullptr)) std::abort();
  sUInt value = 0;
  tokutil_get_sidn_value(table, u"SIDN_CORE", &value);
  tokutil_free_sidn_table(table);
  if (table != nullptr) std::abort();
  return 0;
}
