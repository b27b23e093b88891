#include "common/line_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::FILE* file_with(const std::string& bytes) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

TEST(LineRead, CutsLongLinesAt255BytesAndGoesOn) {
  std::string line(299, 'x');
  line += '\n';
  std::FILE* f = file_with(line);
  char16_t buf[kLineCapacity];
  char16_t* lstr = nullptr;
  ASSERT_EQ(line_read(f, buf, &lstr), 1);
  EXPECT_EQ(lstr, buf);
  EXPECT_EQ(std::u16string(buf), std::u16string(255, u'x'));
  ASSERT_EQ(line_read(f, buf, &lstr), 1);
  EXPECT_EQ(std::u16string(buf), std::u16string(44, u'x') + u"\n");
  EXPECT_EQ(line_read(f, buf, &lstr), 0);
  std::fclose(f);
}

TEST(LineRead, WidensHighBytesBySignExtensionAndKeepsCarriageReturn) {
  std::FILE* f = file_with("a\xE9\r\nb");
  char16_t buf[kLineCapacity];
  char16_t* lstr;
  ASSERT_EQ(line_read(f, buf, &lstr), 1);
  EXPECT_EQ(std::u16string(buf), (std::u16string{u'a', char16_t(0xFFE9), u'\r', u'\n'}));
  ASSERT_EQ(line_read(f, buf, &lstr), 1);
  EXPECT_EQ(std::u16string(buf), u"b");
  std::fclose(f);
}

TEST(LineRead, ZeroByteEndsTheLineText) {
  std::FILE* f = file_with(std::string("ab\0cd\nef\n", 9));
  char16_t buf[kLineCapacity];
  char16_t* lstr;
  ASSERT_EQ(line_read(f, buf, &lstr), 1);
  EXPECT_EQ(std::u16string(buf), u"ab");
  ASSERT_EQ(line_read(f, buf, &lstr), 1);
  EXPECT_EQ(std::u16string(buf), u"ef\n");
  std::fclose(f);
}

TEST(LineStrcmp, PrefixMatchMovesPastKeywordOnly) {
  char16_t line[] = u"  SIDDEF(";
  char16_t* lstr = line;
  EXPECT_EQ(line_strcmp(&lstr, u"SIDDEF"), 1);
  EXPECT_EQ(*lstr, u'(');

  char16_t line2[] = u"  SIDDEF(";
  lstr = line2;
  EXPECT_EQ(line_strcmp(&lstr, u"sid"), 0);
  EXPECT_EQ(*lstr, u'S');  // white space skipped, keyword not consumed

  char16_t line3[] = u"SIDDEFX";
  lstr = line3;
  EXPECT_EQ(line_strcmp(&lstr, u"SIDDEF"), 1);
  EXPECT_EQ(*lstr, u'X');
}

TEST(LineGetWord, StopsAtStopUnitOrWhiteSpace) {
  char16_t line[] = u"  abc,def";
  char16_t* lstr = line;
  char16_t out[kLineCapacity];
  EXPECT_EQ(line_get_word(&lstr, u',', out), 3u);
  EXPECT_EQ(std::u16string(out), u"abc");
  EXPECT_EQ(*lstr, u',');

  lstr = line;
  EXPECT_EQ(line_get_word(&lstr, kNoStop, out), 7u);
  EXPECT_EQ(std::u16string(out), u"abc,def");

  char16_t blank[] = u"   \r\n";
  lstr = blank;
  EXPECT_EQ(line_get_word(&lstr, kNoStop, out), 0u);
  EXPECT_EQ(out[0], 0);
}

TEST(LineSkipWord, MovesOverOneWord) {
  char16_t line[] = u" ident , \"name\"";
  char16_t* lstr = line;
  line_skip_word(&lstr, u',');
  EXPECT_EQ(*lstr, u' ');
  EXPECT_EQ(line_strcmp(&lstr, u","), 1);
}

}  // namespace
