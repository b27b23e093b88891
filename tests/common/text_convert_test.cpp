#include "common/text_convert.h"

#include <gtest/gtest.h>

#include <filesystem>
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

// Well-formed UTF-8 decodes (a character beyond the basic plane to a pair
// of surrogates); each byte of anything else becomes U+DC00 + byte.
TEST(StrictUtf8, MalformedBytesBecomeLoneSurrogates) {
  struct Case {
    std::string bytes;
    std::u16string text;
    bool clean;
  };
  const Case cases[] = {
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", u"caf\u00e9 \u20ac \U0001F600", true},
      {"a\xFF" "b", u"a\xDCFF" "b", false},
      {"\xC0\xAF", u"\xDCC0\xDCAF", false},                     // overlong "/"
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80", false},         // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80", false},  // above U+10FFFF
      {"\xE2\x82", u"\xDCE2\xDC82", false},                     // cut short
  };
  for (const Case& c : cases) {
    std::u16string out = u"<";
    EXPECT_EQ(utf8_to_utf16_marked(c.bytes, out), c.clean) << c.bytes;
    EXPECT_EQ(out, u"<" + c.text) << c.bytes;
    EXPECT_EQ(utf16_well_formed(out.c_str()), c.clean) << c.bytes;
    std::string back;
    EXPECT_EQ(utf16_to_utf8_strict(out.c_str(), back), c.clean) << c.bytes;
    if (c.clean) {
      EXPECT_EQ(back, "<" + c.bytes);
    }
  }
  std::string back;
  EXPECT_FALSE(utf16_to_utf8_strict(u"x\xD800", back));  // a high surrogate at the end
  EXPECT_FALSE(utf16_well_formed(u"\xDC00\xD800"));      // a pair the wrong way round
}

TEST(FileNames, OnlyNamesTheSystemCannotRepresentGetTheBox) {
  vxtest::DebugCapture capture;
  sReporter& rep = capture.rep();
  EXPECT_TRUE(file_name_usable(rep, u"dir/caf\u00e9 \U0001F600.s"));
  EXPECT_TRUE(file_name_usable(rep, std::u16string(300, u'a').c_str()));  // the system decides
  EXPECT_TRUE(capture.boxes().empty());
  EXPECT_FALSE(file_name_usable(rep, nullptr));
  EXPECT_FALSE(file_name_usable(rep, u"a\xD800.s"));
  EXPECT_EQ(open_file_utf16(rep, u"a\xDC80.s", "rb"), nullptr);
  EXPECT_EQ(capture.boxes(), std::vector<std::string>(
                                 2, "Vexlor Unicode: Non-ASCII characters in filenames not currently supported"));
  EXPECT_TRUE(capture.lines().empty());
}

TEST(FileNames, WholeFilesReplaceTheOldOnesOrLeaveThem) {
  vxtest::TempDir dir;
  const std::string path = dir.str("rules.d");
  vxtest::write_file(path, "old");
  EXPECT_TRUE(write_whole_file(vxtest::u16(path).c_str(), "new", 3));
  EXPECT_EQ(vxtest::read_file(path), "new");
  EXPECT_FALSE(write_whole_file(vxtest::u16(dir.str()).c_str(), "x", 1));  // a directory
  EXPECT_FALSE(write_whole_file(vxtest::u16(dir.str("no/rules.d")).c_str(), "x", 1));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(FileNames, AcceptableNamesFitTheFileSystem) {
  // 255 bytes in one part is the limit of common file systems.
  EXPECT_TRUE(file_name_acceptable(u"dir/caf\u00e9.s"));
  EXPECT_TRUE(file_name_acceptable((u"d/" + std::u16string(85, u'\u00e9')).c_str()));  // 170 bytes
  EXPECT_FALSE(file_name_acceptable((u"d/" + std::u16string(128, u'\u00e9')).c_str()));  // 256 bytes
  EXPECT_FALSE(file_name_acceptable((std::u16string(128, u'\u00e9') + u"/x").c_str()));
  EXPECT_FALSE(file_name_acceptable(u"a\xDCFF.s"));
  EXPECT_FALSE(file_name_acceptable(nullptr));
}

}  // namespace
