#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "container/fioshare.h"
#include "support/alloc_hook.h"

namespace {

// A write stream without a file: the primitives only touch the body.
struct MemoryWriteStream {
  sFioShareFile* s = fioshare_file_create_ex(nullptr, FIO_WRITE, FIO_COMP_NONE, 0);
  ~MemoryWriteStream() { fioshare_file_close(s); }
};

// A stream holding `body`, positioned at its start.
sFioShareFile* open_plain(const std::string& body) {
  sFioShareFile* s = fioshare_file_create_ex(nullptr, FIO_WRITE, FIO_COMP_NONE, 0);
  if (s == nullptr || fioshare_write(s, body.data(), static_cast<sUInt>(body.size())) != body.size() ||
      fioshare_seek(s, 0, 0) != 0) {
    ADD_FAILURE() << "cannot build the stream";
  }
  return s;
}

std::string body_of(const sFioShareFile* s) { return std::string(reinterpret_cast<const char*>(s->body), s->body_size); }

TEST(StreamRead, CopiesWhatIsLeftAndAdvances) {
  sFioShareFile* s = open_plain("0123456789");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(fioshare_seek(s, 4, 0), 4u);
  char buf[16] = {};
  EXPECT_EQ(fioshare_read(s, buf, 16), 6u);
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(fioshare_tell(s), 10u);
  EXPECT_EQ(fioshare_read(s, buf, 1), 0u);
  fioshare_file_close(s);
}

TEST(StreamSeek, OriginsCountFromStartEndAndCurrent) {
  sFioShareFile* s = open_plain("abcdefghij");
  ASSERT_NE(s, nullptr);
  struct Case {
    sUInt offset;
    int origin;
    sUInt expected;  // new position or kSeekFailed
    sUInt position_after;
  };
  const Case cases[] = {
      {3, 0, 3, 3},                                  // from the start
      {0, 1, 10, 10},                                // end: the body size
      {static_cast<sUInt>(-2), 2, 8, 8},             // back one UTF-16 unit
      {static_cast<sUInt>(-3), 1, 7, 7},             // back from the end
      {1, 1, kSeekFailed, 7},                        // past the end
      {11, 0, kSeekFailed, 7},                       //
      {static_cast<sUInt>(-8), 2, kSeekFailed, 7},   // before the start wraps past the end
      {10, 0, 10, 10},                               // exactly the end is allowed
      {0, 3, kSeekFailed, 10},                       // unknown origin
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fioshare_seek(s, c.offset, c.origin), c.expected) << c.offset << " " << c.origin;
    EXPECT_EQ(fioshare_tell(s), c.position_after);
  }
  fioshare_file_close(s);
}

TEST(StreamWrite, InsideOverwritesAndPastEndGrowsExactly) {
  MemoryWriteStream w;
  const std::string twenty(20, 'x');
  ASSERT_EQ(fioshare_write(w.s, twenty.data(), 20), 20u);
  ASSERT_EQ(fioshare_seek(w.s, 8, 0), 8u);
  EXPECT_EQ(fioshare_write(w.s, "ABCD", 4), 4u);
  EXPECT_EQ(w.s->body_size, 20u);
  EXPECT_EQ(fioshare_tell(w.s), 12u);
  ASSERT_EQ(fioshare_seek(w.s, 18, 0), 18u);
  EXPECT_EQ(fioshare_write(w.s, "WXYZ", 4), 4u);
  EXPECT_EQ(w.s->body_size, 22u);
  EXPECT_EQ(body_of(w.s), "xxxxxxxxABCDxxxxxxWXYZ");
}

TEST(StreamWrite, ManySmallAppendsKeepEveryByte) {
  MemoryWriteStream w;
  std::string expected;
  for (sUInt i = 0; i < 100000; ++i) {
    const char rec[3] = {static_cast<char>(i), static_cast<char>(i >> 8), static_cast<char>(i >> 16)};
    ASSERT_EQ(fioshare_write(w.s, rec, 1 + i % 3), 1 + i % 3);
    expected.append(rec, 1 + i % 3);
    EXPECT_EQ(w.s->body_size, expected.size());
  }
  EXPECT_EQ(body_of(w.s), expected);
  EXPECT_GE(w.s->capacity, w.s->body_size);
}

TEST(StreamWrite, FailedGrowthChangesNothing) {
  MemoryWriteStream w;
  ASSERT_EQ(fioshare_write(w.s, "abc", 3), 3u);
  const std::string big(w.s->capacity, 'z');  // forces a new allocation
  vexlor_mem_fail_after(0);
  EXPECT_EQ(fioshare_write(w.s, big.data(), static_cast<sUInt>(big.size())), kWriteFailed);
  vexlor_mem_fail_after(-1);
  EXPECT_EQ(body_of(w.s), "abc");
  EXPECT_EQ(fioshare_tell(w.s), 3u);
}

TEST(StreamWrite, EndBeyondThirtyTwoBitsIsRefused) {
  MemoryWriteStream w;
  ASSERT_EQ(fioshare_write(w.s, "abcd", 4), 4u);
  w.s->position = 2;
  EXPECT_EQ(fioshare_write_grow(w.s, "x", 0xFFFFFFFEu), kWriteFailed);
  EXPECT_EQ(w.s->body_size, 4u);
}

TEST(StreamWrite, Le32AppendsLittleEndianAlsoAcrossGrowth) {
  MemoryWriteStream w;
  ASSERT_EQ(fioshare_write(w.s, "ab", 2), 2u);
  std::string expected = "ab";
  for (const sUInt first_capacity = w.s->capacity; expected.size() <= first_capacity + 8;) {
    ASSERT_EQ(fioshare_write_le32(w.s, 0x44434241u), 4u);
    expected += "ABCD";
  }
  ASSERT_EQ(fioshare_seek(w.s, 1, 0), 1u);
  ASSERT_EQ(fioshare_write_le32(w.s, 0x34333231u), 4u);  // inside: overwrites
  EXPECT_EQ(body_of(w.s), expected.replace(1, 4, "1234"));
}

TEST(StreamPrintf, WritesUtf16LittleEndianWithoutTerminator) {
  MemoryWriteStream w;
  ASSERT_TRUE(fioshare_printf(w.s, u"%s=%u\u0416", u"ab", 42u));
  const std::string expected("a\0b\0=\0" "4\0" "2\0\x16\x04", 12);
  EXPECT_EQ(body_of(w.s), expected);
  ASSERT_TRUE(fioshare_printf(w.s, u""));
  EXPECT_EQ(w.s->body_size, 12u);
}

TEST(StreamPrintf, LongestFittingTextIsWrittenAndLongerRefused) {
  MemoryWriteStream w;
  const std::u16string fits(2047, u'a');
  ASSERT_TRUE(fioshare_printf(w.s, u"%s", fits.c_str()));
  EXPECT_EQ(w.s->body_size, 2u * 2047);
  const std::u16string too_long(2048, u'b');
  EXPECT_FALSE(fioshare_printf(w.s, u"%s", too_long.c_str()));
  EXPECT_EQ(w.s->body_size, 2u * 2047);
}

TEST(StreamMarks, CompAndUnicodeFollowTheHeader) {
  struct Case {
    sFioShareComp comp;
    int unicode;
    sFioShareComp expected;
  };
  const Case cases[] = {{FIO_COMP_NONE, 0, FIO_COMP_NONE},
                        {FIO_COMP_ZLIB, 1, FIO_COMP_ZLIB},
                        {FIO_COMP_HUFF, 0, FIO_COMP_HUFF},
                        {static_cast<sFioShareComp>('X'), 1, FIO_COMP_NONE}};
  for (const Case& c : cases) {
    sFioShareFile* s = fioshare_file_create_ex(nullptr, FIO_WRITE, c.comp, c.unicode);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fioshare_get_comp(s), c.expected);
    EXPECT_EQ(fioshare_is_unicode(s), static_cast<sUInt>(c.unicode));
    EXPECT_FALSE(fioshare_file_close(s));  // nowhere to write to
  }
}

}  // namespace
