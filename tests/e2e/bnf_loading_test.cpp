// The grammar loader's console messages and which of two grammars wins.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::grammar;
using vxtest::Sandbox;
using vxtest::write_file;

constexpr const char* kUsageStart = "\nUsage: <file> [/k] [/c | /u] [/o:<output_file>]\n";

std::string before_usage(const vxtest::RunResult& r) {
  auto at = r.out.find(kUsageStart);
  return at == std::string::npos ? "<no usage> " + r.out : r.out.substr(0, at);
}

TEST(GrammarLoading, AFileThatDoesNotParseIsNamedWithItsLine) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("broken.bnf", grammar("FILE_TYPE = \"c\" .\nFILE_TYPE_VER = \"1\" .\n\nFILE = :Box :Nowhere .\nEOF\n"));
  auto r = box.run({});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(before_usage(r), "Error loading BNF definition file:\nbroken.bnf\n\nLine: 4\n");
}

TEST(GrammarLoading, AFileBesideTheProgramIsNamedWithItsDirectory) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  write_file(box.prog() / "broken.bnf", grammar("FILE_TYPE = \"c\" .\nFILE_TYPE_VER = 0 .\nFILE = .\nEOF\n"));
  auto r = box.run({});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(before_usage(r), "Error loading BNF definition file:\n" + box.prog_text() + "broken.bnf\n\nLine: 2\n");
}

TEST(GrammarLoading, ASecondGrammarForTheSameTypeAndVersionIsSkipped) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  // box.bnf is enumerated before second.bnf and wins.
  box.put("second.bnf", grammar("FILE_TYPE = 0x62 .\nFILE_TYPE_VER = 49 .\nFILE = :uint .\nEOF\n"));
  auto r = box.run({});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(before_usage(r),
            "Warning: BNF definitions for a file type found in two\ndifferently named files!\n\n"
            "Skipping BNF file:\nsecond.bnf\n"
            "File type: 'b' (0x62) version: '1' (0x31) already defined in:\nbox.bnf");
}

TEST(GrammarLoading, TheCurrentDirectoryCopyOfAFileNameWinsSilently) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  // A box.bnf beside the program describes another type; it is never read.
  write_file(box.prog() / "BOX.bnf", grammar("FILE_TYPE = \"q\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :uint .\nEOF\n"));
  box.put("q.t", vxtest::text_token_file("q1", "\r\n7\r\n"));
  auto r = box.run({"q.t", "/k"});
  EXPECT_EQ(r.out, "No BNF file loaded for this file type or type versionFailed to load file q.t\n");
  EXPECT_EQ(r.status, 1);
}

TEST(GrammarLoading, GrammarsFromBothDirectoriesAreUsed) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  write_file(box.prog() / "q.bnf", grammar("FILE_TYPE = \"q\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Box .\nBox ==> :uint .\nEOF\n"));
  box.put("q.t", vxtest::text_token_file("q1", "\r\nBox ( 7 )\r\n"));
  auto r = box.run({"q.t", "/k"});
  EXPECT_EQ(r.out, "\nConverting q.t to compressed binary file  ...\n");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
