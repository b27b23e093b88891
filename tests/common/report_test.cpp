#include "common/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/format.h"
#include "support/test_support.h"

namespace {

TEST(DebugReport, PlainFormatNamesModuleAndLine) {
  vxtest::DebugCapture capture;
  EXPECT_FALSE(VX_CHECK(capture.rep(), kModuleMain, 1828, false, "(bnf_table_list = list_create ()) != 0"));
  EXPECT_TRUE(VX_CHECK(capture.rep(), kModuleMain, 1, 2 > 1, "2 > 1"));
  EXPECT_EQ(capture.lines(),
            std::vector<std::string>{"\nFAILED: (bnf_table_list = list_create ()) != 0 [File: main Line: 1828]"});
}

TEST(DebugReport, FileFormatIsOneShot) {
  vxtest::DebugCapture capture;
  sReporter& rep = capture.rep();
  set_report_definition_file(rep, u"core.h");
  EXPECT_FALSE(VX_CHECK_FILE(rep, kModuleTokUtil, 12, 1 == 2, "line_strcmp (&lstr, _TT(\"(\"))"));
  report_at(rep, kModuleBnfParse, 40, u"Missing %s [BNFParse %d]\n", u"==>", 7);
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[0], ":\"core.h\" : \nFAILED: line_strcmp (&lstr, _TT(\"(\")) [File: TokUtil Line: 12]");
  EXPECT_EQ(capture.lines()[1], "Missing ==> [BNFParse 7]\n [File: bnfparse Line: 40]");
  EXPECT_EQ(rep.error_with_file, 0);
}

TEST(DebugReport, SilentWithoutListenerAndClearsTheFlag) {
  sReporter quiet;
  quiet.error_with_file = 1;
  debug_report(quiet, u"\nFAILED: x");
  EXPECT_EQ(quiet.error_with_file, 0);
}

TEST(FormatText, ConversionsOfTheSystemMessages) {
  char16_t buf[256];
  format_text(buf, u"File type: '%c' (0x%02x) version: '%c' (0x%02x)", u'w', 0x77, u'1', 0x31);
  EXPECT_EQ(std::u16string(buf), u"File type: 'w' (0x77) version: '1' (0x31)");
  format_text(buf, u"%08x|%02x|%u|%d|%g|%%|%S", 42u, 0x2au, 4294967295u, -2147483647 - 1, 1.5, "ab");
  EXPECT_EQ(std::u16string(buf), u"0000002a|2a|4294967295|-2147483648|1.5|%|ab");
  format_text(buf, u"[%-4s][%4s][%.2s]", u"a", u"b", u"xyz");
  EXPECT_EQ(std::u16string(buf), u"[a   ][   b][xy]");
}

TEST(FormatText, CountedFormatCutsAndReportsFullLength) {
  char16_t buf[4];
  EXPECT_EQ(format_text_n(buf, 4, u"%s", u"abcdef"), 6u);
  EXPECT_EQ(std::u16string(buf), u"abc");
}

}  // namespace
