#include "bnf/tokenizer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "container/fioshare.h"
#include "support/alloc_hook.h"
#include "support/test_support.h"

namespace {

struct Tok {
  sUInt type;
  std::u16string text;
  sUInt line;
  bool operator==(const Tok& o) const { return type == o.type && text == o.text && line == o.line; }
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{" << t.type << ", \"" << vxtest::narrow(t.text) << "\", line " << t.line << "}";
}

class TokenizerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    tokenizer_close(tz);
    EXPECT_FALSE(tokenizer_is_open(tz));
  }

  // The container refuses files shorter than 34 bytes, so short texts are
  // padded in front with blanks, which the tokenizer skips.
  std::u16string write_text(const std::u16string& text, bool bom = false, const std::string& name = "t.txt") {
    std::u16string padded = text;
    while (padded.size() < 20) padded.insert(padded.begin(), u' ');
    std::string path = dir_.str(name);
    vxtest::write_file(path, vxtest::utf16le(padded, bom));
    return vxtest::u16(path);
  }

  bool open(const std::u16string& text, bool bom = false) {
    std::u16string path = write_text(text, bom);
    return tokenizer_open_file(tz, debug_.rep(), path.c_str()) != 0;
  }

  std::vector<Tok> all_tokens() {
    std::vector<Tok> out;
    while (get_next_token(tz, ST_DONTCARE)) {
      out.push_back({tz.token.type, std::u16string(tz.token.tokenbuf, tz.token.length), tz.token.line});
      if (out.size() > 1000) break;
    }
    EXPECT_EQ(tz.token.status, kTokenEndOfInput);
    return out;
  }

  std::vector<Tok> tokens_of(const std::u16string& text) {
    EXPECT_TRUE(open(text));
    std::vector<Tok> out = all_tokens();
    tokenizer_close(tz);
    return out;
  }

  vxtest::TempDir dir_;
  vxtest::DebugCapture debug_;
  std::unique_ptr<sTokenizer> tz_ = std::make_unique<sTokenizer>();
  sTokenizer& tz = *tz_;
};

TEST_F(TokenizerTest, SplitsIntoClassesAtWordBoundaries) {
  struct Case {
    std::u16string text;
    std::vector<Tok> expected;
  } cases[] = {
      {u"(a)", {{ST_OPEN, u"(", 1}, {ST_WORD, u"a", 1}, {ST_CLOSE, u")", 1}}},
      {u"a.b a.", {{ST_WORD, u"a.b", 1}, {ST_WORD, u"a.", 1}}},
      {u"- . 12abc +x 7", {{ST_NUMBER, u"-", 1}, {ST_NUMBER, u".", 1}, {ST_NUMBER, u"12abc", 1},
                           {ST_NUMBER, u"+x", 1}, {ST_NUMBER, u"7", 1}}},
      {u"//x */ a=b:c,d", {{ST_WORD, u"//x", 1}, {ST_WORD, u"*/", 1}, {ST_WORD, u"a=b:c,d", 1}}},
      {u"ab\rcd", {{ST_WORD, u"abcd", 1}}},
      {u"a\tb\x01" u"c", {{ST_WORD, u"a", 1}, {ST_WORD, u"b", 1}, {ST_WORD, u"c", 1}}},
      {u"a\"b\"c", {{ST_WORD, u"a", 1}, {ST_STRING, u"b", 1}, {ST_WORD, u"c", 1}}},
      {u"x|y[{}]", {{ST_WORD, u"x", 1}, {ST_BAR, u"|", 1}, {ST_WORD, u"y", 1}, {ST_OPEN, u"[", 1},
                    {ST_OPEN, u"{", 1}, {ST_CLOSE, u"}", 1}, {ST_CLOSE, u"]", 1}}},
      {u"\u00e9t\u3000x", {{ST_WORD, u"\u00e9t\u3000x", 1}}},  // classes are those of the "C" locale
      {u"((", {{ST_OPEN, u"(", 1}, {ST_OPEN, u"(", 1}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tokens_of(c.text), c.expected) << vxtest::narrow(c.text);
  }
}

TEST_F(TokenizerTest, StringsApplyEscapesAndDropUnknownPairs) {
  struct Case {
    std::u16string text;
    std::u16string expected;
  } cases[] = {
      {u"\"a\\qb\"", u"ab"},
      {u"\"x\\\"y\"", u"x\"y"},
      {u"\"\\n\\t\\\\\"", u"\n\t\\"},
      {u"\"a\r\nb\"", u"a\nb"},
      {std::u16string(u"\"a") + char16_t(0) + u"b\"", u"ab"},
      {u"\"a b ( | ) // c\"", u"a b ( | ) // c"},
      {u"\"\"", u""},
  };
  for (const auto& c : cases) {
    auto toks = tokens_of(c.text);
    ASSERT_EQ(toks.size(), 1u) << vxtest::narrow(c.text);
    EXPECT_EQ(toks[0].type, ST_STRING);
    EXPECT_EQ(toks[0].text, c.expected) << vxtest::narrow(c.text);
  }
}

TEST_F(TokenizerTest, PlusJoinsOnlyDirectlyAfterTheClosingQuote) {
  EXPECT_EQ(tokens_of(u"\"abc\" + \"def\""),
            (std::vector<Tok>{{ST_STRING, u"abc", 1}, {ST_NUMBER, u"+", 1}, {ST_STRING, u"def", 1}}));
  EXPECT_EQ(tokens_of(u"\"abc\"+ \"def\" x"), (std::vector<Tok>{{ST_STRING, u"abcdef", 1}, {ST_WORD, u"x", 1}}));
  EXPECT_EQ(tokens_of(u"\"abc\"+\n\"def\""), (std::vector<Tok>{{ST_STRING, u"abcdef", 2}}));
  EXPECT_EQ(tokens_of(u"\"a\"+ /* c \n */ // note\n\"b\"+\"c\""), (std::vector<Tok>{{ST_STRING, u"abc", 3}}));
  // The piece after the plus sign gives the joined token its class.
  EXPECT_EQ(tokens_of(u"\"a\"+b"), (std::vector<Tok>{{ST_WORD, u"ab", 1}}));
}

TEST_F(TokenizerTest, EndOfInputAfterPlusDeliversNothing) {
  ASSERT_TRUE(open(u"x \"abc\"+  "));
  EXPECT_TRUE(get_next_token(tz, ST_WORD));
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(tz.token.status, kTokenEndOfInput);
  EXPECT_EQ(tz.token.length, 0u);
}

TEST_F(TokenizerTest, CrLfFilesAreNumberedLikeLfFiles) {
  std::u16string lf = u"a\nb\n\n\"s\" c\n  // comment\nd /* x\ny */ e\n\nf";
  std::u16string crlf;
  for (char16_t c : lf) {
    if (c == u'\n') crlf += u'\r';
    crlf += c;
  }
  std::vector<Tok> expected = {{ST_WORD, u"a", 1},   {ST_WORD, u"b", 2}, {ST_STRING, u"s", 4}, {ST_WORD, u"c", 4},
                               {ST_WORD, u"d", 6},   {ST_WORD, u"e", 7}, {ST_WORD, u"f", 9}};
  EXPECT_EQ(tokens_of(lf), expected);
  EXPECT_EQ(tokens_of(crlf), expected);
}

TEST_F(TokenizerTest, LineFeedInsideAStringIsNotCounted) {
  EXPECT_EQ(tokens_of(u"\"x\ny\" z\nw"),
            (std::vector<Tok>{{ST_STRING, u"x\ny", 1}, {ST_WORD, u"z", 1}, {ST_WORD, u"w", 2}}));
}

TEST_F(TokenizerTest, BlockCommentsNest) {
  EXPECT_EQ(tokens_of(u"/* a /* b */ c */ x"), (std::vector<Tok>{{ST_WORD, u"x", 1}}));
  EXPECT_EQ(tokens_of(u"a */ b"), (std::vector<Tok>{{ST_WORD, u"a", 1}, {ST_WORD, u"*/", 1}, {ST_WORD, u"b", 1}}));
  // Markers count only as separate words; a quoted marker counts too.
  EXPECT_EQ(tokens_of(u"/*x */ y"), (std::vector<Tok>{{ST_WORD, u"/*x", 1}, {ST_WORD, u"*/", 1}, {ST_WORD, u"y", 1}}));
  EXPECT_EQ(tokens_of(u"\"//\" a\nb"), (std::vector<Tok>{{ST_WORD, u"b", 2}}));
}

TEST_F(TokenizerTest, UnterminatedStringsAndCommentsEndAtEndOfInput) {
  EXPECT_EQ(tokens_of(u"x \"abc"), (std::vector<Tok>{{ST_WORD, u"x", 1}, {ST_STRING, u"abc", 1}}));
  EXPECT_EQ(tokens_of(u"x /* abc /* */"), (std::vector<Tok>{{ST_WORD, u"x", 1}}));
  EXPECT_EQ(tokens_of(u"x \"abc\\"), (std::vector<Tok>{{ST_WORD, u"x", 1}, {ST_STRING, u"abc", 1}}));
}

TEST_F(TokenizerTest, QuoteBeforeLineFeedOpensAString) {
  // Once a string has begun a line feed is part of it, also as its first unit.
  EXPECT_EQ(tokens_of(u"a \"\nb\" c"),
            (std::vector<Tok>{{ST_WORD, u"a", 1}, {ST_STRING, u"\nb", 1}, {ST_WORD, u"c", 1}}));
}

TEST_F(TokenizerTest, TextOfCommentsAndLineEndsOnlyIsEndOfInput) {
  ASSERT_TRUE(open(u"// one\n/* two */\n\n"));
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(tz.token.status, kTokenEndOfInput);
  // End of input is sticky, for gets and previews alike.
  EXPECT_FALSE(preview_next_token(tz, ST_DONTCARE));
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
  EXPECT_FALSE(preview_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(tz.token.status, kTokenEndOfInput);
}

TEST_F(TokenizerTest, ByteOrderMarkIsSkipped) {
  std::u16string text = u"a \"b\" (c)";
  std::vector<Tok> plain = tokens_of(text);
  ASSERT_TRUE(open(text, true));
  EXPECT_EQ(all_tokens(), plain);
}

TEST_F(TokenizerTest, TooShortFilesAndNullStreamsDoNotOpen) {
  for (const std::string& bytes : {std::string(), std::string("a")}) {
    std::string path = dir_.str("short.bnf");
    vxtest::write_file(path, bytes);
    EXPECT_FALSE(tokenizer_open_file(tz, debug_.rep(), vxtest::u16(path).c_str()));
    EXPECT_FALSE(tokenizer_is_open(tz));
  }
  EXPECT_FALSE(tokenizer_open_file(tz, debug_.rep(), vxtest::u16(dir_.str("missing.bnf")).c_str()));
  EXPECT_FALSE(tokenizer_open_stream(tz, nullptr));
  EXPECT_FALSE(tokenizer_is_open(tz));
}

TEST_F(TokenizerTest, StreamWithLessThanOneUnitLeftIsRefused) {
  std::u16string path = write_text(u"abc");
  sFioShareFile* stream = fioshare_file_open(debug_.rep(), path.c_str(), FIO_READ, FIO_COMP_NONE, 0);
  ASSERT_NE(stream, nullptr);
  sUInt size = fioshare_seek(stream, 0, 1);
  fioshare_seek(stream, size - 1, 0);
  EXPECT_FALSE(tokenizer_open_stream(tz, stream));
  EXPECT_FALSE(tokenizer_is_open(tz));
  EXPECT_EQ(fioshare_tell(stream), size - 1);
  // Started part-way, it reads from there.
  fioshare_seek(stream, size - 2, 0);
  ASSERT_TRUE(tokenizer_open_stream(tz, stream));
  EXPECT_TRUE(get_next_token(tz, ST_WORD));
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"c");
  tokenizer_close(tz);  // closes the stream too
}

TEST_F(TokenizerTest, ClassArgumentSelectsButTokenIsConsumedAnyway) {
  ASSERT_TRUE(open(u"word 12 \"s\""));
  EXPECT_FALSE(get_next_token(tz, ST_NUMBER));
  EXPECT_TRUE(preview_next_token(tz, ST_NUMBER));
  EXPECT_FALSE(preview_next_token(tz, ST_WORD));  // the same pending token
  EXPECT_TRUE(get_next_token(tz, ST_NUMBER));
  EXPECT_TRUE(get_next_token(tz, ST_STRING));
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
}

TEST_F(TokenizerTest, TextComparisonFoldsOnlyLettersAToZ) {
  ASSERT_TRUE(open(u"hELLo \u00c9t EOF eo"));
  EXPECT_TRUE(get_next_token_text(tz, u"Hello"));
  EXPECT_FALSE(get_next_token_text(tz, u"\u00e9t"));
  EXPECT_TRUE(get_next_token_text(tz, u"eof"));
  EXPECT_FALSE(get_next_token_text(tz, u"eof"));
  EXPECT_FALSE(get_next_token_text(tz, u""));
}

TEST_F(TokenizerTest, PopRestoresTokenAndLine) {
  ASSERT_TRUE(open(u"a\nb\n/* c */\nc\nd"));
  ASSERT_TRUE(get_next_token(tz, ST_DONTCARE));
  push_token_state(tz);
  ASSERT_TRUE(get_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(tz.token.line, 2u);
  ASSERT_TRUE(get_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"c");
  EXPECT_EQ(tz.token.line, 4u);
  pop_token_state(tz);
  EXPECT_EQ(tz.token.line, 1u);
  ASSERT_TRUE(get_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"b");
  EXPECT_EQ(tz.token.line, 2u);

  // A pending token comes back as the current token, still pending.
  ASSERT_TRUE(preview_next_token(tz, ST_DONTCARE));
  push_token_state(tz);
  get_next_token(tz, ST_DONTCARE);
  get_next_token(tz, ST_DONTCARE);
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"d");
  pop_token_state(tz);
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"c");
  EXPECT_EQ(tz.token.type, ST_WORD);
  EXPECT_EQ(tz.token.line, 4u);
  ASSERT_TRUE(get_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"c");
  ASSERT_TRUE(get_next_token(tz, ST_DONTCARE));
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"d");
  EXPECT_EQ(tz.token.line, 5u);
}

TEST_F(TokenizerTest, DropKeepsPositionAndPushesNest) {
  ASSERT_TRUE(open(u"t0 t1 t2 t3 t4"));
  push_token_state(tz);
  get_next_token(tz, ST_DONTCARE);
  drop_token_state(tz);
  get_next_token(tz, ST_DONTCARE);
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"t1");

  // Deep nesting (the saved stack grows) restores every level in order.
  constexpr int kDepth = 300;
  for (int i = 0; i < kDepth; ++i) {
    push_token_state(tz);
    if (i % 100 == 0) get_next_token(tz, ST_DONTCARE);
  }
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"t4");
  for (int i = 0; i < 100; ++i) pop_token_state(tz);  // back to before t4
  get_next_token(tz, ST_DONTCARE);
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"t4");
  for (int i = 0; i < 200; ++i) pop_token_state(tz);  // back to before t2
  get_next_token(tz, ST_DONTCARE);
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"t2");
}

TEST_F(TokenizerTest, PendingEndOfInputSurvivesPushAndPop) {
  ASSERT_TRUE(open(u"only"));
  get_next_token(tz, ST_DONTCARE);
  EXPECT_FALSE(preview_next_token(tz, ST_DONTCARE));
  push_token_state(tz);
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
  pop_token_state(tz);
  EXPECT_EQ(tz.token.status, kTokenEndOfInput);
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
}

TEST_F(TokenizerTest, TokensHoldAtMost65535Units) {
  std::u16string long_word(70000, u'w');
  ASSERT_TRUE(open(long_word + u" next \"" + std::u16string(70000, u's') + u"\" exact " +
                   std::u16string(65535, u'e')));
  ASSERT_TRUE(get_next_token(tz, ST_WORD));
  EXPECT_EQ(tz.token.length, 65535u);
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), std::u16string(65535, u'w'));
  ASSERT_TRUE(get_next_token_text(tz, u"next"));
  ASSERT_TRUE(get_next_token(tz, ST_STRING));
  EXPECT_EQ(tz.token.length, 65535u);
  ASSERT_TRUE(get_next_token_text(tz, u"exact"));
  ASSERT_TRUE(get_next_token(tz, ST_WORD));
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), std::u16string(65535, u'e'));
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
}

TEST_F(TokenizerTest, JoiningStopsAtTheLimit) {
  std::u16string a(40000, u'a'), b(40000, u'b');
  ASSERT_TRUE(open(u"\"" + a + u"\"+\"" + b + u"\"+\"c\" d"));
  ASSERT_TRUE(get_next_token(tz, ST_STRING));
  EXPECT_EQ(tz.token.length, 65535u);
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), a + std::u16string(25535, u'b'));
  ASSERT_TRUE(get_next_token(tz, ST_STRING));
  EXPECT_EQ(std::u16string(tz.token.tokenbuf), u"c");
  ASSERT_TRUE(get_next_token_text(tz, u"d"));
}

TEST_F(TokenizerTest, ReopensAfterClose) {
  ASSERT_TRUE(open(u"first"));
  push_token_state(tz);
  get_next_token(tz, ST_DONTCARE);
  tokenizer_close(tz);  // frees the saved state left behind
  ASSERT_TRUE(open(u"second"));
  EXPECT_EQ(tz.token.line, 1u);
  EXPECT_TRUE(get_next_token_text(tz, u"second"));
  pop_token_state(tz);  // nothing saved: no effect
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
}

}  // namespace

namespace {

TEST_F(TokenizerTest, PushWithoutMemoryEndsTheReadingVisibly) {
  ASSERT_TRUE(open(u"a b c"));
  vexlor_mem_fail_after(0);
  push_token_state(tz);
  vexlor_mem_fail_after(-1);
  EXPECT_TRUE(tokenizer_state_lost(tz));
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
  pop_token_state(tz);
  EXPECT_FALSE(get_next_token(tz, ST_DONTCARE));
  tokenizer_close(tz);
  EXPECT_FALSE(tokenizer_state_lost(tz));
  ASSERT_TRUE(open(u"a b c"));
  push_token_state(tz);
  EXPECT_TRUE(get_next_token_text(tz, u"a"));
  pop_token_state(tz);
  EXPECT_TRUE(get_next_token_text(tz, u"a"));
}

}  // namespace

namespace {

TEST_F(TokenizerTest, RandomTextsKeepTheRecordWhole) {
  const char16_t alphabet[] = {u'a', u'1', u'.', u'"', u'\\', u'\r', u'\n', u'/', u'*', u'+', u'(', u']', u'|',
                               u' ', u'\t', 0,    u'n', 0x00e9, 0xfeff, u','};
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    int n = static_cast<int>(rng() % 200);
    for (int i = 0; i < n; ++i) text += alphabet[rng() % std::size(alphabet)];
    ASSERT_TRUE(open(text, round % 2 == 0));
    sUInt last_line = 1;
    int steps = 0;
    for (;; ++steps) {
      ASSERT_LT(steps, 1000);
      int action = static_cast<int>(rng() % 4);
      if (action == 0) push_token_state(tz);
      bool got = action == 1 ? preview_next_token(tz, ST_DONTCARE) : get_next_token(tz, ST_DONTCARE);
      if (action == 0) {
        if (rng() % 2) {
          pop_token_state(tz);
        } else {
          drop_token_state(tz);
        }
      }
      ASSERT_LE(tz.token.length, kTokenMaxUnits);
      ASSERT_EQ(tz.token.tokenbuf[tz.token.length], 0);
      if (!got) break;
      ASSERT_GE(tz.token.type, sUInt{ST_WORD});
      ASSERT_LE(tz.token.type, sUInt{ST_BAR});
      ASSERT_GE(tz.token.line, last_line);
      last_line = tz.token.line;
    }
    tokenizer_close(tz);
  }
}

// A word left in place is terminated in the text itself; every later
// reading, from the start or after going back, must see the same tokens on
// the same lines, and the text in place must be the token's.
TEST_F(TokenizerTest, TokensLeftInPlaceReadTheSameAfterwards) {
  std::mt19937 rng(7);
  const std::u16string alphabet[] = {u"ab", u"1.5", u"-2", u" ", u"\t", u"\r", u"\n", u"\r\n", u"(", u")",
                                     u"\"", u"/*", u"*/", u"//", u"+", u"|", u"x", std::u16string(1, u'\0'),
                                     u"\u00e9", u"  "};
  for (int round = 0; round < 150; ++round) {
    std::u16string text;
    const int n = static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) text += alphabet[rng() % std::size(alphabet)];
    const std::vector<Tok> reference = tokens_of(text);
    ASSERT_TRUE(open(text));
    std::vector<Tok> seen;
    for (int steps = 0; steps < 2000; ++steps) {
      const bool go_back = rng() % 4 == 0;
      if (go_back) push_token_state(tz);
      const size_t mark = seen.size();
      if (!preview_next_token(tz, ST_DONTCARE)) {
        if (go_back) drop_token_state(tz);
        break;
      }
      const char16_t* in_place = token_text_in_place(tz);
      if (in_place != nullptr) {
        ASSERT_EQ(std::u16string(in_place), std::u16string(tz.token.tokenbuf, tz.token.length)) << round;
      }
      get_next_token(tz, ST_DONTCARE);
      seen.push_back({tz.token.type, std::u16string(tz.token.tokenbuf, tz.token.length), tz.token.line});
      if (go_back) {
        // Read one more, then go back to before both and read them again.
        if (get_next_token(tz, ST_DONTCARE)) {
          token_text_in_place(tz);
          seen.push_back({tz.token.type, std::u16string(tz.token.tokenbuf, tz.token.length), tz.token.line});
        }
        pop_token_state(tz);
        seen.resize(mark);
      }
    }
    ASSERT_EQ(seen, reference) << round;
    tokenizer_close(tz);
  }
}

}  // namespace
