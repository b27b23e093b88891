// Text -> binary -> text -> binary through files, with grammars loaded from
// grammar files: the two binaries must be identical, and the second text
// must read back to the same tree as the first.
#include <gtest/gtest.h>

#include <string>

#include "container/fioshare.h"
#include "shape/binary_writer.h"
#include "shape/shape_test_support.h"
#include "shape/shape_tree.h"
#include "shape/text_writer.h"
#include "shape/token_file.h"

namespace {

const std::u16string kBodyHeader{u'T', u'O', u'R', u'V', u'0', u'w', u'1', u't', 0, 0, 0, 0, 0, 0, 0, 0};

// Reads `from` and writes it in the other form as `to`; false when either
// step fails.
bool convert(sConversion& conv, sBNFTable* table, const std::u16string& from, const std::u16string& to,
             bool to_binary, sUInt comp = FIO_COMP_NONE) {
  sShapeFile* file = read_token_file(conv, from.c_str(), table, nullptr);
  if (file == nullptr) return false;
  const int written = to_binary ? write_binary_file(conv, to.c_str(), table, file, file->first, comp)
                                : write_text_file(conv, to.c_str(), file, file->first, comp);
  free_shape_file(file);
  return written == 1;
}

std::u16string text_body(const std::u16string& path) {
  return shapetest::units_of(shapetest::container_body(path)).substr(kBodyHeaderBytes);
}

class RoundTrip : public ::testing::Test {
 protected:
  void load_grammar(const std::u16string& rules) {
    table_ = shapetest::load_grammar(ctx_, dir_.str("test.bnf"), rules);
    ASSERT_NE(table_, nullptr) << ctx_.debug.joined();
  }

  std::u16string path(const std::string& name) const { return vxtest::u16(dir_.str(name)); }

  // The whole round: returns the second text body.
  std::u16string round_trip(const std::u16string& source_text) {
    sConversion& conv = ctx_.conv;
    const std::u16string text1 = path("one.txt");
    const std::u16string bin1 = path("one.bin");
    const std::u16string text2 = path("two.txt");
    const std::u16string bin2 = path("two.bin");
    const std::u16string text3 = path("three.txt");
    if (!shapetest::write_text_token_file(text1, source_text, FIO_COMP_NONE, kBodyHeader) ||
        !convert(conv, table_.get(), text1, bin1, true) ||
        !convert(conv, table_.get(), bin1, text2, false, FIO_COMP_ZLIB) ||
        !convert(conv, table_.get(), text2, bin2, true, FIO_COMP_ZLIB) ||
        !convert(conv, table_.get(), bin2, text3, false))
      return u"<failed at " + vxtest::u16(std::to_string(conv.error_position)) + u">";
    EXPECT_EQ(shapetest::container_body(bin1), shapetest::container_body(bin2));
    EXPECT_EQ(text_body(text2), text_body(text3));
    return text_body(text2);
  }

  shapetest::Context ctx_{{u"Item", 0x00770001}, {u"Group", 0x00770002}, {u"Node", 0x00770003}, {u"on", 0x00770004}};
  vxtest::TempDir dir_;
  shapetest::OwnedGrammar table_;
};

TEST_F(RoundTrip, EveryValueKindBlockNamesArraysAndLiterals) {
  load_grammar(
      u"FILE = { :Item | :Group } .\n"
      u"Item ==> :string :sint :uint :dword :byte :float :token [ on :uint ] [ off ] .\n"
      u"Group ==> { :Item } :ARRAY ( :float ) .\n");
  const std::u16string text = round_trip(
      u"Item Label ( \"hello world\" -3 7 2a 1ff 1.5 Group on 9 )\n"
      u"Group ( Item ( \"\" 0 0 0 0 0 Item off ) 0.1 100 -0 1e-45 )\n"
      u"Item \"a b\" ( x -2147483648 4294967295 FFFFFFFF 0 -1.5e-3 Node )\n");
  EXPECT_EQ(text,
            u"\r\nItem Label ( \"hello world\" -3 7 0000002a ff 1.5 Group on 9 off )"
            u"\r\nGroup ("
            u"\r\n\tItem ( \"\" 0 0 00000000 00 0 Item off ) 0.1 100 -0 1.4013e-45\r\n)"
            u"\r\nItem \"a b\" ( x -2147483648 4294967295 ffffffff 00 -0.0015 Node off )\r\n");
}

// Floats whose six-digit text would read back as another float keep
// enough digits.
TEST_F(RoundTrip, FloatsKeepTheirValue) {
  load_grammar(u"FILE = :Group .\nGroup ==> :ARRAY ( :float ) .\n");
  const std::u16string text =
      round_trip(u"Group ( 16777217 3.14159274 3.4028235e38 1.17549435e-38 0.3 123456.789 )");
  EXPECT_EQ(text, u"\r\nGroup ( 16777216 3.1415927 3.4028235e+38 1.1754944e-38 0.3 123456.79\r\n)\r\n");
}

// A string value takes any one token, so each string has a block of its own.
TEST_F(RoundTrip, StringsWithBracketsCommentMarkersQuotesAndLineFeeds) {
  load_grammar(u"FILE = { :Item } .\nItem ==> :string .\n");
  struct Case {
    std::u16string source;
    std::u16string written;
  };
  const Case cases[] = {
      {u"\"(\"", u"\"(\""},
      {u"\")\"", u"\")\""},
      {u"\"[x]\"", u"\"[x]\""},
      {u"\"{\"", u"\"{\""},
      {u"\"|\"", u"\"|\""},
      {u"\"/\"+\"/\"", u"\"/\"+\t\"/\""},
      {u"\"/\"+\"*\"", u"\"/\"+\t\"*\""},
      {u"\"*/\"", u"*/"},
      {u"\"a//b\"", u"a//b"},
      {u"\"q\\\"uote\"", u"\"q\\\"uote\""},
      {u"\"back\\\\slash\"", u"\"back\\\\slash\""},
      {u"\"line1\\nline2\"", u"\"line1\\n\"+\r\n\t\"line2\""},
      {u"\"\\n\"", u"\"\\n\"\r\n"},
      {u"\"\\n//\"", u"\"\\n\"+\r\n\t\"/\"+\t\"/\""},
      {u"\"x\\n\\tindented\"", u"\"x\\n\"+\r\n\t\"\\tindented\""},
      {u"\"tab\\there\"", u"\"tab\\there\""},
      {u"\"\"", u"\"\""},
  };
  std::u16string source, expected;
  for (const Case& c : cases) {
    source += u"Item ( " + c.source + u" )\n";
    expected += u"\r\nItem ( " + c.written + u" )";
  }
  EXPECT_EQ(round_trip(source), expected + u"\r\n");
}

TEST_F(RoundTrip, LongestStringsSurviveInPieces) {
  load_grammar(u"FILE = { :Item } .\nItem ==> :string .\n");
  std::u16string pattern = u"a(b)[c]{d}|e//f/*g*/h\\\"i\\\\j\\nk\\tl m ";
  std::u16string raw = u"a(b)[c]{d}|e//f/*g*/h\"i\\j\nk\tl m ";
  std::u16string source, expected;
  while (expected.size() + raw.size() <= 65535) {
    source += pattern;
    expected += raw;
  }
  while (expected.size() < 65535) {
    source += u'z';
    expected += u'z';
  }
  std::u16string letters(65535, u'w');
  round_trip(u"Item ( \"" + source + u"\" ) Item ( \"" + letters + u"\" )");
  // The binary of the first conversion holds both strings whole.
  const std::string bin = shapetest::container_body(path("two.bin"));
  ASSERT_EQ(bin.size(), 16u + 2 * (9u + 2u + 2u * 65535u));
  std::u16string first;
  for (size_t i = 16 + 9 + 2; i < 16 + 9 + 2 + 2 * 65535u; i += 2)
    first += char16_t(sByte(bin[i]) | (sByte(bin[i + 1]) << 8));
  EXPECT_EQ(first, expected);
}

// Node ==> :uint [ :Node ]: a node that follows another stays its sibling.
TEST_F(RoundTrip, RecursiveBlocksKeepTheirNesting) {
  load_grammar(u"FILE = { :Node } .\nNode ==> :uint [ :Node ] .\n");
  EXPECT_EQ(round_trip(u"Node ( 1 ) Node ( 2 Node ( 3 Node ( 4 ) ) ) Node ( 5 )"),
            u"\r\nNode ( 1 )\r\nNode ( 2\r\n\tNode ( 3\r\n\t\tNode ( 4 )\r\n\t)\r\n)\r\nNode ( 5 )\r\n");
}

}  // namespace
