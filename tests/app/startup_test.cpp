#include "app/startup.h"

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "bnf/bnf_registry.h"
#include "common/memory.h"
#include "support/test_support.h"
#include "tables/config.h"
#include "tables/sidn.h"
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

bool nothing_loaded() {
  return bnf_table_list == nullptr && stoken_table == nullptr && sidn_table == nullptr && ext_table == nullptr &&
         app_state.loaded_file == nullptr;
}

TEST(StartUp, LoadsEveryDefinitionAndShutdownReleasesThem) {
  vxtest::TempDir dir;
  dir.chdir();
  write_box_defs(dir);
  app_state = sAppState{};
  ASSERT_EQ(app_startup(), 1);
  EXPECT_NE(ext_table, nullptr);
  EXPECT_EQ(sidn_table, nullptr);  // needed only while the token definitions are read
  ASSERT_NE(tokutil_find_stoken_by_name(u"pair"), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_name(u"pair")->id, 0x00020001u);
  EXPECT_NE(find_bnf_table('b', '1'), nullptr);
  EXPECT_NE(find_bnf_table('t', '1'), nullptr);
  EXPECT_EQ(app_state.current_bnf, nullptr);
  EXPECT_EQ(app_shutdown(), 1);
  EXPECT_TRUE(nothing_loaded());
  // A second shutdown finds nothing to release.
  EXPECT_EQ(app_shutdown(), 1);
  EXPECT_TRUE(nothing_loaded());
}

TEST(StartUp, AFailedStartUpReleasesWhatItLoaded) {
  vxtest::TempDir dir;
  dir.chdir();
  write_box_defs(dir);
  std::filesystem::remove(dir.path() / "box.bnf");
  std::filesystem::remove(dir.path() / "twin.bnf");
  vxtest::StdoutCapture out;
  EXPECT_EQ(app_startup(), 0);
  EXPECT_EQ(out.finish(), "No BNF files successfully loaded");
  EXPECT_TRUE(nothing_loaded());
}

// Every allocation of a start-up fails once in turn: start-up either fails
// and leaves nothing loaded (and, under the sanitizers, nothing leaked), or
// succeeds and shuts down cleanly.
TEST(StartUp, SurvivesEveryAllocationFailure) {
  vxtest::TempDir dir;
  dir.chdir();
  write_box_defs(dir);
  int failed = 0, succeeded = 0;
  for (long n = 0; n < 400; ++n) {
    vxtest::StdoutCapture out;
    vxtest::DebugCapture debug;
    vexlor_mem_fail_after(n);
    int ok = app_startup();
    vexlor_mem_fail_after(-1);
    if (ok) {
      ++succeeded;
      app_shutdown();
    } else {
      ++failed;
    }
    EXPECT_TRUE(nothing_loaded()) << n;
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(succeeded, 0);
}

}  // namespace
