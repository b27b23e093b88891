// Arbitrary bytes as the core token definition file, with a fixed SIDN
// table. Includes are opened in the work directory, so an input may include
// itself or the files of the fixed set.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "tables/sidn.h"
#include "tables/stoken.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::put_file("sidn.txt", "enum {\n\tSIDN_CORE = 0x0001,\n\tSIDN_SHAPE = 0x0002,\n\tSIDN_WIDE = 0x12345,\n};\n");
  vxfuzz::put_file("app.h", "SID_DEFINE_FIRST_ID(SIDN_SHAPE)\nSIDDEF(SID_A, \"A\")\n#include \"input.h\"\n");
  if (!tokutil_load_sidn_table(vxfuzz::work_path("sidn.txt").c_str())) vxfuzz::die("SIDN table does not load");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vxfuzz::put_file("input.h", vxfuzz::bytes_of(data, size));
  vxfuzz::InWorkDir here;  // includes are opened relative to it
  const int loaded = tokutil_load_stoken_table(u"input.h", (size & 1) ? u"app.h" : nullptr);
  if (loaded != (stoken_table != nullptr)) std::abort();
  if (loaded) {
    // Every entry is found by its name and by its id (the first such entry).
    for (const sShapeTokenDef* e = stoken_table; e->name != nullptr; ++e) {
      const sShapeTokenDef* by_name = tokutil_find_stoken_by_name(e->name);
      const sShapeTokenDef* by_id = tokutil_find_stoken_by_id(e->id);
      if (by_name == nullptr || by_name > e || by_id == nullptr || by_id > e || by_id->id != e->id) std::abort();
    }
  }
  tokutil_free_stoken_table();
  if (stoken_table != nullptr) std::abort();
  return 0;
}
