#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "bnf/bnf_registry.h"
#include "engine/definitions.h"
#include "support/alloc_hook.h"
#include "support/test_support.h"
#include "tables/stoken.h"

namespace {

void write_box_defs(const vxtest::TempDir& dir) {
  vxtest::write_file(dir.path() / "Vexlor.cfg", "COREIDS core.h\nAPPIDS app.h\nFILE_EXT *.t *.b Boxes\n");
  vxtest::write_file(dir.path() / "sidn.txt", "SIDN_TEST = 0x0001\nSIDN_APP = 0x0002\n");
  vxtest::write_file(dir.path() / "core.h", "SID_DEFINE_FIRST_ID(SIDN_TEST)\nSIDDEF(ID_BOX, \"Box\")\n");
  vxtest::write_file(dir.path() / "app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\n#include \"more.h\"\n");
  vxtest::write_file(dir.path() / "more.h", "SIDDEF(ID_PAIR, \"Pair\")\n");
  vxtest::write_file(dir.path() / "box.bnf",
                     vxtest::utf16le(u"FILE_TYPE = \"b\" .\nFILE_TYPE_VER = \"1\" .\n"
                                     u"FILE = { :Box } .\nBox ==> :uint [ :Pair ] .\nPair ==> :string :string .\nEOF\n",
                                     true));
  vxtest::write_file(dir.path() / "twin.bnf",
                     vxtest::utf16le(u"FILE_TYPE = \"t\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Box .\n"
                                     u"Box ==> :float .\nEOF\n",
                                     true));
}

bool nothing_loaded(const sDefinitions& defs) {
  return defs.grammars == nullptr && defs.tokens.entries == nullptr && defs.config.ext_table == nullptr &&
         defs.files.empty();
}

TEST(StartUp, LoadsEveryDefinitionFromTheWorkingDirectory) {
  vxtest::TempDir dir;
  dir.chdir();
  write_box_defs(dir);
  vxtest::DebugCapture debug;
  sDefinitions defs;
  ASSERT_EQ(app_startup(debug.rep(), defs), 1);
  EXPECT_NE(defs.config.ext_table, nullptr);
  const sShapeTokenDef* pair = tokutil_find_stoken_by_name(defs.tokens, u"pair");
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->id, 0x00020001u);
  EXPECT_NE(find_bnf_table(defs.grammars, 'b', '1'), nullptr);
  EXPECT_NE(find_bnf_table(defs.grammars, 't', '1'), nullptr);
  EXPECT_EQ(defs.files.size(), 7u);  // configuration, SIDN, three token files, two grammars
  free_definitions(defs);
  EXPECT_TRUE(nothing_loaded(defs));
}

TEST(StartUp, AFailedStartUpPrintsWhyAndKeepsNothing) {
  vxtest::TempDir dir;
  dir.chdir();
  write_box_defs(dir);
  std::filesystem::remove(dir.path() / "box.bnf");
  std::filesystem::remove(dir.path() / "twin.bnf");
  vxtest::DebugCapture debug;
  sDefinitions defs;
  vxtest::StdoutCapture out;
  EXPECT_EQ(app_startup(debug.rep(), defs), 0);
  EXPECT_EQ(out.finish(), "No BNF files successfully loaded");
  EXPECT_TRUE(nothing_loaded(defs));
}

// Every allocation of a start-up fails once in turn: start-up either fails
// and keeps nothing (and, under the sanitizers, leaks nothing), or
// succeeds with what a conversion needs.
TEST(StartUp, SurvivesEveryAllocationFailure) {
  vxtest::TempDir dir;
  dir.chdir();
  write_box_defs(dir);
  int failed = 0, succeeded = 0;
  for (long n = 0; n < 400; ++n) {
    vxtest::StdoutCapture out;
    vxtest::DebugCapture debug;
    sDefinitions defs;
    vexlor_mem_fail_after(n);
    const int ok = app_startup(debug.rep(), defs);
    vexlor_mem_fail_after(-1);
    out.finish();
    if (ok) {
      // A grammar that ran out of memory is passed over like a broken one;
      // the token definitions are complete or not loaded at all.
      ++succeeded;
      EXPECT_TRUE(find_bnf_table(defs.grammars, 'b', '1') != nullptr ||
                  find_bnf_table(defs.grammars, 't', '1') != nullptr)
          << n;
      EXPECT_NE(tokutil_find_stoken_by_name(defs.tokens, u"box"), nullptr) << n;
      EXPECT_NE(tokutil_find_stoken_by_name(defs.tokens, u"pair"), nullptr) << n;
    } else {
      ++failed;
      EXPECT_TRUE(nothing_loaded(defs)) << n;
    }
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(succeeded, 0);
}

}  // namespace
