// The debug channel shows only while a debugger or tracer watches the
// program (natively: strace; the Windows build: wine's debug-string trace).
// Each failed check is one line in the formats
//   "<message> [File: <module> Line: <line>]"
//   ":\"<definition file>\" : <message> [File: <module> Line: <line>]".
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::Sandbox;

vxtest::TracedResult traced(const Sandbox& box, const std::vector<std::string>& args) {
  return vxtest::run_vexlor_traced(args, box.work(), box.exe());
}

TEST(DebugChannel, SilentWithoutATracer) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  auto r = box.run({"missing.t", "/k"});
  EXPECT_EQ(r.out, "Failed to load file missing.t\n");
  // Standard error says why, and nothing of the debug channel.
  if (!vxtest::windows_build()) {
    EXPECT_EQ(r.err, "missing.t: error: no such file\n");
  }
}

TEST(DebugChannel, ShowsAFailedOpenOfTheSource) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  auto t = traced(box, {"missing.t", "/k"});
  if (t.skipped) GTEST_SKIP() << "no tracer here";
  EXPECT_EQ(t.run.out, "Failed to load file missing.t\n");
  EXPECT_EQ(t.debug, "\nFAILED: (f = fopen (fname, \"rb\")) != 0 [File: AppUtil Line: 292]\n");
  EXPECT_EQ(t.run.status, 1);
}

TEST(DebugChannel, StartUpFailureNamesTheConfigurationTried) {
  Sandbox box;
  auto t = traced(box, {});
  if (t.skipped) GTEST_SKIP() << "no tracer here";
  EXPECT_EQ(t.debug, ":\"" + box.prog_text() + "Vexlor.cfg\" : \nFAILED: (f = fopen (fname, \"rb\")) != 0 [File: TokUtil Line: 412]\n");
  EXPECT_EQ(t.run.status, 1);
}

TEST(DebugChannel, FailureInsideAnIncludeReportsEachLevel) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("core.h", "SID_DEFINE_FIRST_ID(SIDN_TEST)\n#include \"mid.h\"\n");
  box.put("mid.h", "SIDDEF(ID_BOX, \"Box\")\n#include \"gone.h\"\n");
  auto t = traced(box, {});
  if (t.skipped) GTEST_SKIP() << "no tracer here";
  EXPECT_EQ(t.run.out, "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n");
  // The cause names its file; the include reports of the levels above and
  // the outermost report use the plain format.
  EXPECT_EQ(t.debug,
            ":\"gone.h\" : \nFAILED: (f = fopen (fname, \"r\")) != 0 [File: TokUtil Line: 236]\n"
            "\nFAILED: load_table_pass (temp_str, entry, kaldo_id, prefix_str, id_count, depth + 1u) [File: TokUtil Line: 306]\n"
            "\nFAILED: load_table_pass (temp_str, entry, kaldo_id, prefix_str, id_count, depth + 1u) [File: TokUtil Line: 306]\n"
            "\nFAILED: load_table_pass (fname, (load_pass == 0u ? NULL : &table), &kaldo_id, prefix_str, "
            "(load_pass == 0u ? &id_count : NULL), 0u) [File: TokUtil Line: 352]\n");
}

TEST(DebugChannel, GrammarParseFailureIsReportedWithItsCheck) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  // The body of A runs into the next token rule: A has no full stop.
  box.put("bad.bnf", vxtest::grammar("FILE_TYPE = \"q\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :A .\nA = x\nBox ==> y .\nEOF\n"));
  auto t = traced(box, {});
  if (t.skipped) GTEST_SKIP() << "no tracer here";
  EXPECT_EQ(t.debug, "create_bnf_subtoken failed [BNFParse 258]\n [File: bnfparse Line: 258]\n");
}

TEST(DebugChannel, BinaryArrayReadToTheEndOfItsBlock) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("arr.bnf", vxtest::grammar("FILE_TYPE = \"a\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Box .\nBox ==> :ARRAY ( :uint ) .\nEOF\n"));
  // Box (id 0x00010001), size 9, no name, two uints.
  std::string body = std::string("TORV0a1b        ") + std::string("\x01\x00\x01\x00\x09\x00\x00\x00\x00", 9) +
                     std::string("\x07\x00\x00\x00\x08\x00\x00\x00", 8);
  box.put("arr.ab", vxtest::kPlainHeader + body);
  auto t = traced(box, {"arr.ab", "/k"});
  if (t.skipped) GTEST_SKIP() << "no tracer here";
  EXPECT_EQ(t.run.status, 0) << t.run.out;
  EXPECT_EQ(t.debug, "Passed end of block [ShpFile 1040]\n [File: ShpFile Line: 1040]\n");
}

}  // namespace
