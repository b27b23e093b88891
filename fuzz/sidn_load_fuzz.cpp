// Arbitrary bytes as the SIDN definitions file.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "tables/sidn.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string path = vxfuzz::put_file("input_sidn.txt", vxfuzz::bytes_of(data, size));
  const int loaded = tokutil_load_sidn_table(path.c_str());
  if (loaded != (sidn_table != nullptr)) std::abort();
  sUInt value = 0;
  tokutil_get_sidn_value(u"SIDN_CORE", &value);
  tokutil_free_sidn_table();
  if (sidn_table != nullptr) std::abort();
  return 0;
}
