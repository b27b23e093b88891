// Arbitrary bytes as the core token definition file, with a fixed SIDN
// table. Names are opened in the work directory, so an input may include
// itself or the files of the fixed set.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "tables/sidn.h"
#include "tables/stoken.h"

namespace {

sSIDNTable* g_sidn = nullptr;

void release_sidn() { tokutil_free_sidn_table(g_sidn); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::put_file("sidn.txt", "enum {\n\tSIDN_CORE = 0x0001,\n\tSIDN_SHAPE = 0x0002,\n\tSIDN_WIDE = 0x12345,\n};\n");
  vxfuzz::put_file("app.h", "SID_DEFINE_FIRST_ID(SIDN_SHAPE)\nSIDDEF(SID_A, \"A\")\n#include \"input.h\"\n");
  if (!tokutil_load_sidn_table(vxfuzz::reporter(), g_sidn, vxfuzz::work_path("sidn.txt").c_str())) {
    vxfuzz::die("SIDN table does not load");
  }
  std::atexit(release_sidn);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vxfuzz::put_file("input.h", vxfuzz::bytes_of(data, size));
  static const std::u16string base = vxfuzz::work_dir_prefix();
  sTokenTable table;
  const int loaded = tokutil_load_stoken_table(vxfuzz::reporter(), table, g_sidn, u"input.h",
                                               (size & 1) ? u"app.h" : nullptr, base.c_str());
  if (loaded != (table.entries != nullptr)) std::abort();
  if (loaded) {
    // Every entry is found by its name and by its id (the first such entry).
    for (const sShapeTokenDef* e = table.entries; e->name != nullptr; ++e) {
      const sShapeTokenDef* by_name = tokutil_find_stoken_by_name(table, e->name);
      const sShapeTokenDef* by_id = tokutil_find_stoken_by_id(table, e->id);
      if (by_name == nullptr || by_name > e || by_id == nullptr || by_id > e || by_id->id != e->id) std::abort();
    }
  }
  tokutil_free_stoken_table(table);
  if (table.entries != nullptr) std::abort();
  return 0;
}
