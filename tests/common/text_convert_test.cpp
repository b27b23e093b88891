#include "common/text_convert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/file_names.h"
#include "support/test_support.h"

namespace {

TEST(StrToWstr, SignExtendsAndAlwaysTerminates) {
  char16_t out[8];
  str_to_wstr(out, "a\xE9", 8);
  EXPECT_EQ(out[0], u'a');
  EXPECT_EQ(out[1], char16_t(0xFFE9));
  EXPECT_EQ(out[2], 0);
  str_to_wstr(out, "abcdefghij", 4);
  EXPECT_EQ(std::u16string(out), u"abc");
}

TEST(WstrToStr, KeepsLowBytesAndAlwaysTerminates) {
  char out[4];
  wstr_to_str(out, u"\u0141bcdef", 4);
  EXPECT_EQ(std::string(out), "Abc");
}

TEST(AnsiConversions, RoundTripIntoTheCallersBuffer) {
  char16_t wide[kWideBufferUnits];
  char ansi[kAnsiBufferBytes];
  const char16_t* w = ansi_to_wstr("h\xC3\xA9llo", wide);  // UTF-8 on POSIX
  EXPECT_EQ(w, wide);
  EXPECT_EQ(std::u16string(w), u"h\u00e9llo");
  EXPECT_EQ(wstr_to_ansi(w, ansi), ansi);
  EXPECT_EQ(std::string(ansi), "h\xC3\xA9llo");
  EXPECT_EQ(std::u16string(ansi_to_wstr("", wide)), u"");
  EXPECT_EQ(std::u16string(ansi_to_wstr(nullptr, wide)), u"");
  EXPECT_EQ(std::string(wstr_to_ansi(nullptr, ansi)), "");
}

TEST(AnsiConversions, OverlongResultsAreCutOrEmptied) {
  char16_t wide[kWideBufferUnits];
  char ansi[kAnsiBufferBytes];
  std::u16string big(3000, u'x');
  EXPECT_EQ(std::string(wstr_to_ansi(big.c_str(), ansi)), std::string(2047, 'x'));
  std::string narrow(3000, 'y');
  EXPECT_EQ(std::u16string(ansi_to_wstr(narrow.c_str(), wide)), u"");
}

TEST(FileNames, RefusesNonAsciiAndOverlongNames) {
  vxtest::DebugCapture capture;
  sReporter& rep = capture.rep();
  char out[kFileNameBytes];
  EXPECT_TRUE(file_name_to_8bit(rep, u"dir/file.s", out));
  EXPECT_EQ(std::string(out), "dir/file.s");
  std::u16string name255(255, u'a');
  EXPECT_TRUE(file_name_to_8bit(rep, name255.c_str(), out));
  std::u16string name256(256, u'a');
  EXPECT_FALSE(file_name_to_8bit(rep, name256.c_str(), out));
  EXPECT_TRUE(capture.boxes().empty());  // too long is refused without a box
  EXPECT_FALSE(file_name_to_8bit(rep, u"caf\u00e9.s", out));
  EXPECT_EQ(capture.boxes(),
            std::vector<std::string>{"Vexlor Unicode: Non-ASCII characters in filenames not currently supported"});
  EXPECT_EQ(open_file_utf16(rep, u"caf\u00e9.s", "rb"), nullptr);
  EXPECT_EQ(capture.boxes().size(), 2u);
  EXPECT_TRUE(capture.lines().empty());
}

}  // namespace
