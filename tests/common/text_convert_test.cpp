#include "common/text_convert.h"

#include <gtest/gtest.h>

#include <string>

#include "common/file_names.h"

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

TEST(AnsiConversions, RoundTripAndRingLifetime) {
  const char16_t* w = ansi_to_wstr("h\xC3\xA9llo");  // UTF-8 on POSIX
  EXPECT_EQ(std::u16string(w), u"h\u00e9llo");
  EXPECT_EQ(std::string(wstr_to_ansi(w)), "h\xC3\xA9llo");
  EXPECT_EQ(std::u16string(ansi_to_wstr("")), u"");
  // A result stays valid for four further calls... of the same operation.
  const char* first = wstr_to_ansi(u"one");
  wstr_to_ansi(u"two");
  wstr_to_ansi(u"three");
  wstr_to_ansi(u"four");
  EXPECT_EQ(std::string(first), "one");
}

TEST(AnsiConversions, OverlongResultsAreCutOrEmptied) {
  std::u16string big(3000, u'x');
  EXPECT_EQ(std::string(wstr_to_ansi(big.c_str())), std::string(2047, 'x'));
  std::string narrow(3000, 'y');
  EXPECT_EQ(std::u16string(ansi_to_wstr(narrow.c_str())), u"");
}

TEST(FileNames, RefusesNonAsciiAndOverlongNames) {
  char out[kFileNameBytes];
  EXPECT_TRUE(file_name_to_8bit(u"dir/file.s", out));
  EXPECT_EQ(std::string(out), "dir/file.s");
  std::u16string name255(255, u'a');
  EXPECT_TRUE(file_name_to_8bit(name255.c_str(), out));
  std::u16string name256(256, u'a');
  EXPECT_FALSE(file_name_to_8bit(name256.c_str(), out));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(file_name_to_8bit(u"caf\u00e9.s", out));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Vexlor Unicode: Non-ASCII characters in filenames not currently supported\n");
}

}  // namespace
