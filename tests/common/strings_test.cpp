#include "common/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(AllocString, NullGivesNullAndEmptyGivesEmptyCopy) {
  EXPECT_EQ(alloc_string(nullptr, 0), nullptr);
  char16_t* s = alloc_string(u"", 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s[0], 0);
  free_string(s);
}

TEST(AllocString, CountedCopyKeepsZeroUnits) {
  char16_t* ab = alloc_string(u"abc", 2);
  EXPECT_EQ(std::u16string(ab), u"ab");
  free_string(ab);
  const char16_t src[] = {u'a', 0, u'b'};
  char16_t* s = alloc_string(src, 3);
  EXPECT_EQ(s[0], u'a');
  EXPECT_EQ(s[1], 0);
  EXPECT_EQ(s[2], u'b');
  EXPECT_EQ(s[3], 0);
  free_string(s);
}

TEST(AllocStringNl, StopsBeforeLineFeedKeepingCarriageReturn) {
  struct Case {
    const char16_t* in;
    std::u16string out;
  } cases[] = {{u"ab\ncd", u"ab"}, {u"\nab", u""}, {u"abc\r\n", u"abc\r"}, {u"xyz", u"xyz"}};
  for (const auto& c : cases) {
    char16_t* s = alloc_string_nl(c.in, 0);
    EXPECT_EQ(std::u16string(s), c.out);
    free_string(s);
  }
}

TEST(IsValidIdentifier, FollowsTheNameRule) {
  EXPECT_TRUE(is_valid_identifier(u"_a1"));
  EXPECT_TRUE(is_valid_identifier(u"abcdefghijklmnopqrstuvwxyzABCDEF"));   // 32
  EXPECT_FALSE(is_valid_identifier(u"abcdefghijklmnopqrstuvwxyzABCDEFG"));  // 33
  EXPECT_FALSE(is_valid_identifier(u"1a"));
  EXPECT_FALSE(is_valid_identifier(u"a-b"));
  EXPECT_FALSE(is_valid_identifier(u""));
  EXPECT_FALSE(is_valid_identifier(nullptr));
  EXPECT_FALSE(is_valid_identifier(u"\u00e9t"));  // letters are those of the "C" locale
}

TEST(WstrEqualNocase, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(wstr_equal_nocase(u"Shape", u"sHAPE"));
  EXPECT_FALSE(wstr_equal_nocase(u"Shape", u"Shape2"));
  EXPECT_FALSE(wstr_equal_nocase(u"[", u"{"));  // '[' + 32 is '{': not a letter
  EXPECT_FALSE(wstr_equal_nocase(u"\u00c9", u"\u00e9"));
}

}  // namespace
