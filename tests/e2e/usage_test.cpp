#include <gtest/gtest.h>

#include "e2e/run.h"
#include "support/test_support.h"

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
  vxtest::TempDir dir;
  auto result = vxtest::run_vexlor({}, dir.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kUsage);
  EXPECT_EQ(result.err, "");
}

}  // namespace
