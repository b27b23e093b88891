// Start-up: where each definition file is looked for, and the message of
// every failure. A failed start-up ends the process with status 1.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::Sandbox;
using vxtest::write_file;

constexpr const char* kUsageStart = "\nUsage: <file> [/k] [/c | /u] [/o:<output_file>]\n";

bool printed_usage(const vxtest::RunResult& r) { return r.status == 0 && r.out.rfind(kUsageStart, 0) == 0; }

TEST(StartUp, NoConfigurationFileAnywhere) {
  Sandbox box;
  auto r = box.run({});
  EXPECT_EQ(r.out, "Failed to load configuration file:\n" + box.prog_text() + "Vexlor.cfg\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, NoSidnFileAnywhere) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  std::filesystem::remove(box.work() / "sidn.txt");
  auto r = box.run({});
  EXPECT_EQ(r.out, "Failed to load SIDN definitions file:\n" + box.prog_text() + "sidn.txt\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, SidnFileThatDoesNotParseNamesTheFileTried) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("sidn.txt", "SIDN_TEST=1\n");  // the name runs to the next blank
  auto r = box.run({});
  EXPECT_EQ(r.out, "Failed to load SIDN definitions file:\nsidn.txt\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, TokenDefinitionFileMissing) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("Vexlor.cfg", "COREIDS nothere.h\nAPPIDS app.h\n");
  auto r = box.run({});
  EXPECT_EQ(r.out, "Failed to load Kaldo token definition files:\nnothere.h\napp.h\n\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, ConfigurationWithoutCoreIds) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("Vexlor.cfg", "APPIDS app.h\n");
  auto r = box.run({});
  EXPECT_EQ(r.out, "Failed to load Kaldo token definition files:\n\napp.h\n\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, RangeOfAnUndefinedSidnName) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("app.h", "SID_DEFINE_FIRST_ID(SIDN_NONE)\nSIDDEF(ID_PAIR, \"Pair\")\n");
  auto r = box.run({});
  EXPECT_EQ(r.out, "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, NoGrammarFile) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  std::filesystem::remove(box.work() / "box.bnf");
  auto r = box.run({});
  EXPECT_EQ(r.out, "No BNF files successfully loaded");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, NoGrammarLoadsPrintsEachFileThenGivesUp) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("box.bnf", vxtest::grammar("FILE_TYPE = \"b\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Missing .\nEOF\n"));
  auto r = box.run({});
  EXPECT_EQ(r.out,
            "Error loading BNF definition file:\nbox.bnf\n\nLine: 3\n"
            "No BNF files successfully loaded");
  EXPECT_EQ(r.status, 1);
}

TEST(StartUp, ConfigurationInTheCurrentDirectoryComesFirst) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  // The one beside the program would fail the start-up.
  write_file(box.prog() / "Vexlor.cfg", "COREIDS wrong.h\n");
  EXPECT_TRUE(printed_usage(box.run({})));
}

TEST(StartUp, ConfigurationBesideTheProgramWhenNoneInTheCurrentDirectory) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  std::filesystem::rename(box.work() / "Vexlor.cfg", box.prog() / "Vexlor.cfg");
  EXPECT_TRUE(printed_usage(box.run({})));
  // The names it holds are opened in the current directory first, and a
  // name missing there is looked for beside the configuration.
  std::filesystem::rename(box.work() / "core.h", box.prog() / "core.h");
  EXPECT_TRUE(printed_usage(box.run({})));
  std::filesystem::remove(box.prog() / "core.h");
  auto r = box.run({});
  EXPECT_EQ(r.out, "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n");
}

TEST(StartUp, SidnFileIsLookedForIndependentlyOfTheConfiguration) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  // Current directory first, although the configuration is found there too.
  write_file(box.prog() / "sidn.txt", "SIDN_BROKEN=1\n");
  EXPECT_TRUE(printed_usage(box.run({})));
  // Beside the program when the current directory has none.
  std::filesystem::rename(box.work() / "sidn.txt", box.prog() / "sidn.txt");
  EXPECT_TRUE(printed_usage(box.run({})));
}

}  // namespace

namespace {

TEST(StartUp, DefinitionsBesideTheProgramServeAnyWorkingDirectory) {
  Sandbox box;
  Sandbox::shipped_defs(box.prog());
  box.put("robot.s", vxtest::read_file(vxtest::source_root() / "examples" / "robot.s"));
  auto r = box.run({"robot.s", "/k"});
  EXPECT_EQ(r.out, "\nConverting robot.s to compressed binary file  ...\n");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
