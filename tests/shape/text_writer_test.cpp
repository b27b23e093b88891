#include "shape/text_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/report.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "shape/shape_test_support.h"
#include "shape/shape_tree.h"

namespace {

// A write stream whose body is looked at before it is closed.
class MemoryStream {
 public:
  MemoryStream() : stream(fioshare_file_create_ex(nullptr, FIO_WRITE, FIO_COMP_NONE, 1)) {}
  ~MemoryStream() { fioshare_file_close(stream); }
  std::u16string text() const {
    std::u16string units;
    for (sUInt i = 0; i + 1 < stream->body_size; i += 2)
      units += char16_t(stream->body[i] | (stream->body[i + 1] << 8));
    return units;
  }
  sFioShareFile* stream;
};

// Trees as the readers build them: blocks with their name and bracket
// nodes, arrays, values with grammar entries.
struct Item {
  enum Kind { kValue, kBlock, kArray } kind;
  sUInt type = SHN_UINT;
  std::u16string text;
  std::vector<Item> children;
  std::u16string block_name;
};

Item value(const std::u16string& text, sUInt type = SHN_UINT) { return Item{Item::kValue, type, text, {}, u""}; }
Item str(const std::u16string& text) { return value(text, SHN_STRING); }
Item block(const std::u16string& name, std::vector<Item> content, const std::u16string& block_name = u"") {
  return Item{Item::kBlock, SHN_PARENT, name, std::move(content), block_name};
}
Item array(std::vector<Item> content) { return Item{Item::kArray, SHN_PARENT, u"", std::move(content), u""}; }

class TreeBuilder {
 public:
  ~TreeBuilder() {
    for (sShapeItemNode* root : roots_) shape_tree_free(root);
  }
  // A stand-alone tree, freed with the builder.
  sShapeItemNode* root(const Item& item) {
    sShapeItemNode* node = shape_node_create(nullptr);
    fill(node, item);
    roots_.push_back(node);
    // Numbers are written from their values, as a reader gives them.
    EXPECT_EQ(shape_tree_normalise(ctx_.conv.rep, ctx_.conv.tokens, node), 1);
    return node;
  }

 private:
  sShapeItemNode* leaf(sShapeItemNode** cursor, sUInt type, const std::u16string& text, const sBNFSubtoken* entry) {
    sShapeItemNode* node = shape_node_create(cursor);
    node->type = type;
    node->text = alloc_string(text.empty() ? u"" : text.c_str(), sUInt(text.size()));
    node->bnf_entry = entry;
    return node;
  }
  void fill(sShapeItemNode* node, const Item& item) {
    if (item.kind == Item::kValue) {
      node->type = item.type;
      node->text = alloc_string(item.text.empty() ? u"" : item.text.c_str(), sUInt(item.text.size()));
      node->bnf_entry = grammar_.entry(grammar_.def(item.type + BNFT_LITERAL));
      return;
    }
    node->type = SHN_PARENT;
    sShapeItemNode* cursor = node;
    if (item.kind == Item::kBlock) {
      node->bnf_entry = grammar_.entry(grammar_.def(BNFT_TOKENDEF, item.text.c_str()));
      leaf(&cursor, SHN_LITERAL, item.text, node->bnf_entry);
      if (!item.block_name.empty()) leaf(&cursor, SHN_LITERAL, item.block_name, nullptr);
      leaf(&cursor, SHN_LITERAL, u"(", nullptr);
    } else {
      node->bnf_entry = grammar_.entry(grammar_.def(BNFT_CON_ARRAY));
    }
    for (const Item& child : item.children) fill(shape_node_create(&cursor), child);
    if (item.kind == Item::kBlock) leaf(&cursor, SHN_LITERAL, u")", nullptr);
  }

  shapetest::Context ctx_;
  shapetest::Grammar grammar_;
  std::vector<sShapeItemNode*> roots_;
};

std::u16string repeat(const std::u16string& text, size_t times) {
  std::u16string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

std::u16string quoted(const std::u16string& text) {
  std::u16string q(1, u'"');
  q += text;
  q += u'"';
  return q;
}

// Reports go to `rep` when given, else nowhere.
std::u16string parent_text(const Item& item, sUInt depth, sReporter* rep = nullptr) {
  sReporter quiet;
  TreeBuilder trees;
  MemoryStream out;
  EXPECT_EQ(write_text_parent(rep != nullptr ? *rep : quiet, out.stream, trees.root(item), depth), 1);
  return out.text();
}

TEST(TextWriter, BlockWithNestedBlockOfTwoValues) {
  EXPECT_EQ(parent_text(block(u"shape", {block(u"B", {value(u"1"), value(u"2")})}), 0),
            u"\r\nshape (\r\n\tB ( 1 2 )\r\n)");
}

TEST(TextWriter, DepthOneBlockWithCountAndArray) {
  EXPECT_EQ(parent_text(block(u"Name", {value(u"3"), array({value(u"0"), value(u"1"), value(u"2")})}), 1),
            u"\r\n\tName ( 3\t0 1 2\r\n\t)");
}

TEST(TextWriter, ArrayAtDepthZeroIsSetOffByOneSpace) {
  EXPECT_EQ(parent_text(block(u"A", {array({value(u"x", SHN_LITERAL), value(u"y", SHN_LITERAL)})}), 0),
            u"\r\nA ( x y\r\n)");
}

TEST(TextWriter, BlockNameAndItsBrackets) {
  EXPECT_EQ(parent_text(block(u"Item", {value(u"5")}, u"AB"), 0), u"\r\nItem AB ( 5 )");
  // A name holding brackets is quoted, also a name that is "(" itself; the
  // block's own brackets stay bare.
  EXPECT_EQ(parent_text(block(u"Item", {value(u"5")}, u"a(b"), 0), u"\r\nItem \"a(b\" ( 5 )");
  EXPECT_EQ(parent_text(block(u"Item", {value(u"5")}, u"("), 0), u"\r\nItem \"(\" ( 5 )");
  EXPECT_EQ(parent_text(block(u"Item", {str(u")")}), 0), u"\r\nItem ( \")\" )");
}

std::u16string item_text(const Item& item, sUInt depth, sUInt* column) {
  sReporter quiet;
  TreeBuilder trees;
  MemoryStream out;
  EXPECT_EQ(write_text_item(quiet, out.stream, trees.root(item), depth, 0, 0, 1, column, 0, 0), 1);
  return out.text();
}

struct ItemCase {
  sUInt type;
  std::u16string text;
  std::u16string written;
};

// Each text after one separating space, at depth 0.
TEST(TextWriter, PlainWordsQuotedStringsAndEscapes) {
  const ItemCase cases[] = {
      {SHN_FLOAT, u"1.5", u"1.5"},
      {SHN_STRING, u"hello world", u"\"hello world\""},
      {SHN_STRING, u"hello", u"hello"},
      {SHN_STRING, u"", u"\"\""},
      {SHN_STRING, u"a\tb\"c\\d", u"\"a\\tb\\\"c\\\\d\""},
      {SHN_STRING, u"a\rb", u"\"ab\""},
      {SHN_STRING, u"a\x01" u"b", u"\"a\x01" u"b\""},
      {SHN_STRING, u"a\x7f", u"\"a\x7f\""},
      {SHN_STRING, u"(", u"\"(\""},
      {SHN_STRING, u"x[1]", u"\"x[1]\""},
      {SHN_STRING, u"{", u"\"{\""},
      {SHN_STRING, u"a|b", u"\"a|b\""},
      {SHN_STRING, u"//", u"\"/\"+\t\"/\""},
      {SHN_STRING, u"/*", u"\"/\"+\t\"*\""},
      {SHN_STRING, u"/\r/", u"\"/\"+\t\"/\""},
      {SHN_STRING, u"a//b", u"a//b"},
      {SHN_STRING, u"*/", u"*/"},
      {SHN_SINT, u"-", u"0"},  // written from its value
      {SHN_LITERAL, u"\u00e9t\u00e9", u"\u00e9t\u00e9"},
      {SHN_STRING, repeat(u"x", 1022), repeat(u"x", 1022)},
      {SHN_STRING, repeat(u"x", 1023), u"\r\n" + repeat(u"x", 1023)},
      {SHN_STRING, repeat(u"x", 1024), quoted(repeat(u"x", 762)) + u"+\r\n\t" + quoted(repeat(u"x", 262))},
  };
  for (const ItemCase& c : cases) {
    SCOPED_TRACE(vxtest::narrow(c.text));
    sUInt column = 0;
    EXPECT_EQ(item_text(value(c.text, c.type), 0, &column), u" " + c.written);
  }
}

TEST(TextWriter, LineFeedEndsAPieceAndTheNextStartsOneLevelDeeper) {
  sUInt column = 0;
  EXPECT_EQ(item_text(str(u"line1\nline2"), 0, &column), u" \"line1\\n\"+\r\n\t\"line2\"");
  EXPECT_EQ(column, 11u + 9u);  // the line break after the piece does not reset it
  column = 0;
  EXPECT_EQ(item_text(str(u"a\n  b\n\tc"), 2, &column), u" \"a\\n  \"+\r\n\t\t\t\"b\\n\"+\r\n\t\t\t\"\\tc\"");
}

TEST(TextWriter, LongStringWithoutSpacesIsCutAtThreeQuartersOfTheWidth) {
  sUInt column = 0;
  std::u16string a = repeat(u"a", 762);
  EXPECT_EQ(item_text(str(repeat(u"a", 2000)), 0, &column),
            u" \"" + a + u"\"+\r\n\t\"" + a + u"\"+\r\n\t\"" + repeat(u"a", 476) + u"\"");
  EXPECT_EQ(column, 480u);
}

TEST(TextWriter, LongStringIsCutAfterTheLastSpaceBeforeTheWidth) {
  // From depth 190 on the width is its least, 256.
  sUInt column = 0;
  EXPECT_EQ(item_text(str(repeat(u"abcd ", 60)), 200, &column),
            u" \"" + repeat(u"abcd ", 51) + u"\"+" + repeat(u"\t", 201) + u"\"" + repeat(u"abcd ", 9) + u"\"");
}

TEST(TextWriter, WordThatReachesColumn1024StartsANewLine) {
  sUInt column = 1017;
  EXPECT_EQ(item_text(value(u"abcde", SHN_LITERAL), 2, &column), u" abcde");
  EXPECT_EQ(column, 1023u);
  column = 1018;
  EXPECT_EQ(item_text(value(u"abcde", SHN_LITERAL), 2, &column), u" \r\n\t\tabcde");
  EXPECT_EQ(column, 6u + 8u);
}

// From depth 256 on the indentation alone takes `column` past the line
// width, so every word starts a line of its own; from 1024 on the
// indentation is empty, with a report for each line.
TEST(TextWriter, Depth1024GetsNoIndentation) {
  vxtest::DebugCapture capture;
  EXPECT_EQ(parent_text(block(u"N", {value(u"1")}), 1024, &capture.rep()), u"\r\n\r\nN \r\n( \r\n1 \r\n)");
  ASSERT_EQ(capture.lines().size(), 5u);
  EXPECT_EQ(capture.lines()[0], "Indent larger than 1024 requested [File: ShpFile Line: 230]");
  EXPECT_EQ(parent_text(block(u"N", {value(u"1")}), 300), u"\r\n" + repeat(u"\t", 300) + u"\r\n" +
                                                             repeat(u"\t", 300) + u"N \r\n" + repeat(u"\t", 300) +
                                                             u"( \r\n" + repeat(u"\t", 300) + u"1 \r\n" +
                                                             repeat(u"\t", 300) + u")");
}

TEST(TextWriter, NestingTo1100BlocksIsWritten) {
  Item tree = block(u"N", {value(u"1")});
  for (int i = 0; i < 1100; ++i) tree = block(u"N", {std::move(tree)});
  vxtest::DebugCapture capture;
  std::u16string text = parent_text(tree, 0, &capture.rep());
  EXPECT_EQ(text.substr(0, 26), u"\r\nN (\r\n\tN (\r\n\t\tN (\r\n\t\t\tN (");
  EXPECT_NE(text.find(u"\r\n\r\nN \r\n( \r\n1 \r\n)\r\n\r\n)\r\n\r\n)"), std::u16string::npos);
  EXPECT_FALSE(capture.lines().empty());
}

TEST(TextWriter, NestingBeyondTheLimitIsRefused) {
  Item tree = block(u"N", {value(u"1")});
  for (sUInt i = 0; i < kMaxTextNesting; ++i) tree = block(u"N", {std::move(tree)});
  TreeBuilder trees;
  sShapeItemNode* root = trees.root(tree);
  vxtest::DebugCapture capture;
  MemoryStream out;
  EXPECT_EQ(write_text_parent(capture.rep(), out.stream, root, 0), 0);
  EXPECT_EQ(capture.lines().back(),
            "Shape item tree nested deeper than 2048 levels [ShpFile 2800]\n [File: ShpFile Line: 2800]");
}

TEST(TextWriter, ParentWithoutChildrenIsReportedAndSkipped) {
  TreeBuilder trees;
  sShapeItemNode* empty_array = trees.root(array({}));
  sShapeItemNode* empty_block = trees.root(block(u"B", {}));
  shape_tree_free(empty_block->child);
  empty_block->child = nullptr;
  vxtest::DebugCapture capture;
  MemoryStream out;
  EXPECT_EQ(write_text_parent(capture.rep(), out.stream, empty_array, 0), 1);
  EXPECT_EQ(out.text(), u"");
  EXPECT_EQ(write_text_parent(capture.rep(), out.stream, empty_block, 0), 1);
  EXPECT_EQ(out.text(), u"\r\n");
  ASSERT_EQ(capture.lines().size(), 2u);
  EXPECT_EQ(capture.lines()[0],
            "Parent shape item node without children! [BNFParse 2793]\n [File: ShpFile Line: 2793]");
}

TEST(TextWriter, ParentOfAnotherKindFailsTheWrite) {
  shapetest::Grammar g;
  TreeBuilder trees;
  sShapeItemNode* parent = trees.root(block(u"B", {value(u"1")}));
  const sBNFSubtoken* rule = g.entry(g.def(BNFT_RULEDEF, u"FILE"));
  parent->bnf_entry = rule;
  vxtest::DebugCapture capture;
  MemoryStream out;
  EXPECT_EQ(write_text_parent(capture.rep(), out.stream, parent, 0), 0);
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_EQ(capture.lines()[0],
            "Parent shape item node doesn't reference BNF def type BNFT_TOKENDEF or BNFT_CON_ARRAY "
            "[BNFParse 2786]\n [File: ShpFile Line: 2785]");
  parent->bnf_entry = nullptr;
  EXPECT_EQ(write_text_parent(capture.rep(), out.stream, parent, 0), 0);
}

TEST(TextWriter, ItemTextOverTheLimitFailsTheWrite) {
  sUInt column = 0;
  EXPECT_EQ(item_text(str(repeat(u"ab ", 21845) + u"a"), 0, &column).size() > 65536u, true);
  sReporter quiet;
  TreeBuilder trees;
  MemoryStream out;
  column = 0;
  EXPECT_EQ(write_text_item(quiet, out.stream, trees.root(str(repeat(u"x", 65537))), 0, 0, 0, 1, &column, 0, 0), 0);
}

}  // namespace

namespace {

std::u16string body_of(const std::string& path) {
  return shapetest::units_of(shapetest::container_body(vxtest::u16(path)));
}

TEST(TextWriterFile, HeaderUnitsThenEveryTopLevelBlockThenALineEnd) {
  shapetest::Context ctx;
  vxtest::TempDir dir;
  TreeBuilder trees;
  sShapeItemNode* first = trees.root(block(u"A", {value(u"1")}));
  first->next = trees.root(block(u"B", {str(u"x y")}));
  sShapeFile file{};
  std::memcpy(file.header, "TORV0\x05\x02" "b\x01\x02\x03\x04\x05\x06\x07\x08", kBodyHeaderBytes);
  const std::u16string header{u'T', u'O', u'R', u'V', u'0', 5, 2, u't', 1, 2, 3, 4, 5, 6, 7, 8};
  for (sUInt comp : {FIO_COMP_NONE, FIO_COMP_ZLIB}) {
    const std::string path = dir.str(comp == FIO_COMP_NONE ? "plain.txt" : "packed.txt");
    EXPECT_EQ(write_text_file(ctx.conv, vxtest::u16(path).c_str(), &file, first, comp), 1);
    EXPECT_EQ(body_of(path), header + u"\r\nA ( 1 )\r\nB ( \"x y\" )\r\n");
  }
  first->next = nullptr;  // the builder frees each root
  // Uncompressed, the file is the byte-order mark, the UTF-16 container
  // header and the body as it is.
  const std::string bytes = vxtest::read_file(dir.path() / "plain.txt");
  ASSERT_GE(bytes.size(), 34u);
  EXPECT_EQ(bytes.substr(34), vxtest::utf16le(header + u"\r\nA ( 1 )\r\nB ( \"x y\" )\r\n"));
}

TEST(TextWriterFile, MissingArgumentsAndUnwritableOutputFail) {
  shapetest::Context ctx;
  vxtest::TempDir dir;
  TreeBuilder trees;
  sShapeItemNode* first = trees.root(block(u"A", {value(u"1")}));
  sShapeFile file{};
  const std::u16string path = vxtest::u16(dir.str("out.txt"));
  EXPECT_EQ(write_text_file(ctx.conv, nullptr, &file, first, FIO_COMP_NONE), 0);
  EXPECT_EQ(write_text_file(ctx.conv, path.c_str(), nullptr, first, FIO_COMP_NONE), 0);
  EXPECT_EQ(write_text_file(ctx.conv, path.c_str(), &file, nullptr, FIO_COMP_NONE), 0);
  EXPECT_EQ(ctx.conv.last_error_code, 0u);
  EXPECT_EQ(write_text_file(ctx.conv, vxtest::u16(dir.str("no/such/dir/out.txt")).c_str(), &file, first, FIO_COMP_NONE),
            0);
  EXPECT_EQ(ctx.conv.last_error_code, kErrorCannotWrite);
}

TEST(TextWriterFile, FailingNodeLeavesTheOldFile) {
  shapetest::Context ctx;
  vxtest::TempDir dir;
  shapetest::Grammar g;
  TreeBuilder trees;
  sShapeItemNode* first = trees.root(block(u"A", {value(u"1")}));
  sShapeItemNode* bad = trees.root(block(u"B", {value(u"2")}));
  const sBNFSubtoken* rule = g.entry(g.def(BNFT_RULEDEF, u"FILE"));
  bad->bnf_entry = rule;
  first->next = bad;
  sShapeFile file{};
  std::memcpy(file.header, "TORV0\x01\x01" "b\0\0\0\0\0\0\0\0", kBodyHeaderBytes);
  const std::string path = dir.str("out.txt");
  vxtest::write_file(path, "old");
  EXPECT_EQ(write_text_file(ctx.conv, vxtest::u16(path).c_str(), &file, first, FIO_COMP_NONE), 0);
  first->next = nullptr;
  EXPECT_EQ(vxtest::read_file(path), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

}  // namespace
