#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

const char kUsage[] =
    "\nUsage: <file> [/k] [/c | /u] [/o:<output_file>]\n"
    "where output_file is of the form: [path][file]<extension>\n"
    "If no file part is specified (e.g. \\dev\\data\\.dat) then the file will be\n"
    "given the same filename as the source file.  If no path is given, the file will\n"
    "be written to the current directory.\n"
    "  /k - check source file (no output file spec required)\n"
    "  /c - compress output file (default is to compress only binary output files)\n"
    "  /u - do not compress output file";

TEST(Usage, NoArgumentsPrintsTheUsageTextAndSucceeds) {
  vxtest::Sandbox box;
  vxtest::Sandbox::shipped_defs(box.work());
  auto result = box.run({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kUsage);
  EXPECT_EQ(result.err, "");
}

TEST(Usage, ASourceWithoutOutputOrCheckOptionOnlyPrintsTheUsage) {
  vxtest::Sandbox box;
  vxtest::Sandbox::shipped_defs(box.work());
  for (auto args : {std::vector<std::string>{"robot.s"}, {"robot.s", "/c"}, {"robot.s", "/o:"}}) {
    auto result = box.run(args);
    EXPECT_EQ(result.status, 0) << args.back();
    EXPECT_EQ(result.out, kUsage) << args.back();
  }
}

TEST(Usage, TheProgramsOwnDirectorySuppliesTheDefinitionsWhenRunThere) {
  // Started in its own directory every grammar is found twice and loaded
  // once, without a message.
  vxtest::Sandbox box;
  vxtest::Sandbox::shipped_defs(box.prog());
  auto result = vxtest::run_vexlor({}, box.prog(), box.exe());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kUsage);
}

}  // namespace
