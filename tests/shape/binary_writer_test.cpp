#include "shape/binary_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/report.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "shape/shape_test_support.h"
#include "shape/shape_tree.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<sByte>;

// Builds trees shaped as the readers build them.
class TreeBuilder {
 public:
  TreeBuilder() {
    root_ = shape_node_create(nullptr);
    root_->type = SHN_PARENT;
    top_ = root_;
  }
  ~TreeBuilder() { shape_tree_free(root_); }

  sShapeItemNode** top() { return &top_; }
  sShapeItemNode* first() { return root_->child; }

  // A block: parent, token-name node, optional name node, "(" node. Returns
  // the parent; `content` is the cursor for its content.
  sShapeItemNode* open_block(sShapeItemNode** cursor, const sBNFSubtoken* entry, sShapeItemNode** content,
                             const char16_t* name = nullptr) {
    sShapeItemNode* parent = shape_node_create(cursor);
    parent->type = SHN_PARENT;
    parent->bnf_entry = entry;
    *content = parent;
    sShapeItemNode* token_name = text_node(content, SHN_LITERAL, entry->def->text);
    token_name->bnf_entry = entry;
    if (name != nullptr) text_node(content, SHN_STRING, name);
    text_node(content, SHN_LITERAL, u"(");
    return parent;
  }
  void close_block(sShapeItemNode** content) { text_node(content, SHN_LITERAL, u")"); }

  sShapeItemNode* text_node(sShapeItemNode** cursor, sUInt type, const char16_t* text) {
    sShapeItemNode* node = shape_node_create_text(cursor, text, wstr_len(text));
    node->type = type;
    return node;
  }
  sShapeItemNode* value(sShapeItemNode** cursor, sUInt type, sUInt value) {
    sShapeItemNode* node = shape_node_create(cursor);
    node->type = type;
    node->value = value;
    return node;
  }

 private:
  sShapeItemNode* root_;
  sShapeItemNode* top_;
};

class BinaryWriterTest : public ::testing::Test {
 protected:
  BinaryWriterTest() {
    shape_ = grammar_.def(BNFT_TOKENDEF, u"Shape");
    inner_ = grammar_.def(BNFT_TOKENDEF, u"Inner");
    unknown_ = grammar_.def(BNFT_TOKENDEF, u"Nameless");
    array_ = grammar_.def(BNFT_CON_ARRAY);
    group_ = grammar_.def(BNFT_CON_GROUP);
    table_ = grammar_.table(grammar_.def(BNFT_RULEDEF, u"FILE"));
  }

  // The bytes write_binary_parent gives for each top-level node in turn.
  Bytes write_parents(sShapeItemNode* first, int* result = nullptr) {
    sFioShareFile* stream = fioshare_file_create_ex(nullptr, FIO_WRITE, FIO_COMP_NONE, 0);
    int ok = 1;
    for (sShapeItemNode* node = first; node != nullptr && ok; node = node->next) {
      ok = write_binary_parent(ctx_.conv, stream, table_, node);
    }
    if (result != nullptr) *result = ok;
    Bytes bytes(stream->body, stream->body + stream->body_size);
    fioshare_file_close(stream);
    return bytes;
  }

  shapetest::Context ctx_{
      {u"Shape", 0x00010002u}, {u"Main", 0x00010005u}, {u"Inner", 0x00020001u}, {u"on", 0x00030007u}};
  shapetest::Grammar grammar_;
  sBNFTokenDef *shape_, *inner_, *unknown_, *array_, *group_;
  sBNFTable* table_;
  TreeBuilder tree_;
};

TEST_F(BinaryWriterTest, BlockWithOneUintIsThirteenBytes) {
  sShapeItemNode* content;
  tree_.open_block(tree_.top(), grammar_.entry(shape_), &content);
  tree_.value(&content, SHN_UINT, 5);
  tree_.close_block(&content);
  EXPECT_EQ(write_parents(tree_.first()), (Bytes{0x02, 0x00, 0x01, 0x00,  // id 0x00010002
                                                 0x05, 0x00, 0x00, 0x00,  // size
                                                 0x00,                    // no name
                                                 0x05, 0x00, 0x00, 0x00}));
}

TEST_F(BinaryWriterTest, BlockNameFollowsTheSizeField) {
  sShapeItemNode* content;
  tree_.open_block(tree_.top(), grammar_.entry(shape_), &content, u"Main");
  tree_.close_block(&content);
  EXPECT_EQ(write_parents(tree_.first()),
            (Bytes{0x02, 0x00, 0x01, 0x00, 0x09, 0x00, 0x00, 0x00, 0x04, 'M', 0x00, 'a', 0x00, 'i', 0x00, 'n', 0x00}));
}

TEST_F(BinaryWriterTest, BlockNamedLikeTheBracketKeepsItsName) {
  for (sUInt name_type : {SHN_STRING, SHN_LITERAL}) {  // as read from text, as read from binary
    TreeBuilder tree;
    sShapeItemNode* content;
    sShapeItemNode* block = tree.open_block(tree.top(), grammar_.entry(shape_), &content, u"(");
    block->child->next->type = name_type;
    tree.close_block(&content);
    EXPECT_EQ(write_parents(tree.first()), (Bytes{0x02, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, '(', 0x00}));
  }
}

TEST_F(BinaryWriterTest, EmptyBlockIsNineBytes) {
  sShapeItemNode* content;
  tree_.open_block(tree_.top(), grammar_.entry(shape_), &content);
  tree_.close_block(&content);
  EXPECT_EQ(write_parents(tree_.first()), (Bytes{0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(BinaryWriterTest, ContentNodesByType) {
  sShapeItemNode* content;
  tree_.open_block(tree_.top(), grammar_.entry(shape_), &content);
  tree_.text_node(&content, SHN_LITERAL, u"ON");   // names a token: its id
  tree_.text_node(&content, SHN_LITERAL, u"off");  // names none: nothing
  tree_.text_node(&content, SHN_STRING, u"");
  tree_.text_node(&content, SHN_STRING, u"A(");
  tree_.value(&content, SHN_SINT, static_cast<sUInt>(-2));
  tree_.value(&content, SHN_DWORD, 0xDEADBEEFu);
  tree_.value(&content, SHN_BYTE, 0x1FF);
  tree_.value(&content, SHN_FLOAT, 0x3FC00000u);  // 1.5f
  tree_.value(&content, SHN_TOKEN, 0x00020001u);
  tree_.close_block(&content);
  EXPECT_EQ(write_parents(tree_.first()), (Bytes{
                                              0x02, 0x00, 0x01, 0x00,  // id
                                              0x1E, 0x00, 0x00, 0x00,  // 1 + 4 + 2 + 6 + 4 + 4 + 1 + 4 + 4 = 30
                                              0x00,                    // no name
                                              0x07, 0x00, 0x03, 0x00,  // literal "on"
                                              0x00, 0x00,              // empty string
                                              0x02, 0x00, 'A', 0x00, '(', 0x00,
                                              0xFE, 0xFF, 0xFF, 0xFF,  // sint -2
                                              0xEF, 0xBE, 0xAD, 0xDE,  // dword
                                              0xFF,                    // byte 0x1FF keeps its low 8 bits
                                              0x00, 0x00, 0xC0, 0x3F,  // float 1.5
                                              0x01, 0x00, 0x02, 0x00,  // token
                                          }));
}

TEST_F(BinaryWriterTest, ArrayAddsOnlyItsElementsAndNestedBlocksCountWhole) {
  sShapeItemNode* outer;
  tree_.open_block(tree_.top(), grammar_.entry(shape_), &outer);
  sShapeItemNode* array = shape_node_create(&outer);
  array->type = SHN_PARENT;
  array->bnf_entry = grammar_.entry(array_);
  sShapeItemNode* elements = array;
  for (sUInt b : {1u, 2u, 3u}) tree_.value(&elements, SHN_BYTE, b);
  sShapeItemNode* inner;
  tree_.open_block(&outer, grammar_.entry(inner_), &inner, u"X");
  tree_.value(&inner, SHN_UINT, 1);
  tree_.close_block(&inner);
  tree_.close_block(&outer);
  EXPECT_EQ(write_parents(tree_.first()), (Bytes{
                                              0x02, 0x00, 0x01, 0x00,  // outer id
                                              0x13, 0x00, 0x00, 0x00,  // 1 + 3 + 15 = 19
                                              0x00,                    // no name
                                              0x01, 0x02, 0x03,        // the array in place
                                              0x01, 0x00, 0x02, 0x00,  // inner id
                                              0x07, 0x00, 0x00, 0x00,  // 1 + 2 + 4
                                              0x01, 'X', 0x00,         // name "X"
                                              0x01, 0x00, 0x00, 0x00,  // uint 1
                                          }));
}

TEST_F(BinaryWriterTest, LimitsOfNamesAndStringsFailTheWriteInsteadOfCutting) {
  const std::u16string name255(255, u'n'), name256(256, u'n');
  const std::u16string string65535(65535, u's'), string65536(65536, u's');
  struct Case {
    const std::u16string* name;
    const std::u16string* string;
    int result;
    std::size_t size;
  } cases[] = {
      {&name255, nullptr, 1, 9 + 510},
      {&name256, nullptr, 0, 0},
      {nullptr, &string65535, 1, 9 + 2 + 131070},
      {nullptr, &string65536, 0, 0},
  };
  for (const auto& c : cases) {
    TreeBuilder tree;
    sShapeItemNode* content;
    tree.open_block(tree.top(), grammar_.entry(shape_), &content, c.name != nullptr ? c.name->c_str() : nullptr);
    if (c.string != nullptr) tree.text_node(&content, SHN_STRING, c.string->c_str());
    tree.close_block(&content);
    int result = -1;
    Bytes bytes = write_parents(tree.first(), &result);
    EXPECT_EQ(result, c.result);
    if (c.result == 1) {
      EXPECT_EQ(bytes.size(), c.size);
      if (c.name != nullptr) {
        EXPECT_EQ(bytes[8], 255);
      }
      if (c.string != nullptr) {
        EXPECT_EQ((Bytes{bytes[9], bytes[10]}), (Bytes{0xFF, 0xFF}));
      }
    }
  }
}

TEST_F(BinaryWriterTest, ParentsOfOtherKindsFailAndChildlessParentsWriteNothing) {
  vxtest::DebugCapture& debug = ctx_.debug;
  sShapeItemNode* group = shape_node_create(tree_.top());
  group->type = SHN_PARENT;
  group->bnf_entry = grammar_.entry(group_);
  int result = -1;
  EXPECT_TRUE(write_parents(group, &result).empty());
  EXPECT_EQ(result, 0);
  EXPECT_NE(debug.joined().find("Parent shape item node doesn't reference BNF def type BNFT_TOKENDEF or "
                                "BNFT_CON_ARRAY [BNFParse 2109]"),
            std::string::npos);

  group->bnf_entry = nullptr;  // a parent without entry is refused the same way, never followed
  EXPECT_TRUE(write_parents(group, &result).empty());
  EXPECT_EQ(result, 0);

  group->bnf_entry = grammar_.entry(array_);
  debug.clear();
  EXPECT_TRUE(write_parents(group, &result).empty());
  EXPECT_EQ(result, 1);
  EXPECT_NE(debug.joined().find("Parent shape item node without children! [BNFParse 2116]"), std::string::npos);
}

TEST_F(BinaryWriterTest, BlockWhoseRuleNamesNoTokenFails) {
  sShapeItemNode* content;
  tree_.open_block(tree_.top(), grammar_.entry(unknown_), &content);
  tree_.close_block(&content);
  int result = -1;
  write_parents(tree_.first(), &result);
  EXPECT_EQ(result, 0);
}

class BinaryFileTest : public BinaryWriterTest {
 protected:
  BinaryFileTest() {
    dir_.chdir();
    std::memcpy(file_.header, "TORV0\x21\x01t@@@@@@@@", kBodyHeaderBytes);
  }
  vxtest::TempDir dir_;
  sShapeFile file_{};
};

TEST_F(BinaryFileTest, FileHoldsContainerHeaderBodyHeaderAndBlocks) {
  for (sUInt comp : {FIO_COMP_NONE, FIO_COMP_ZLIB}) {
    TreeBuilder tree;
    sShapeItemNode* content;
    tree.open_block(tree.top(), grammar_.entry(shape_), &content);
    tree.value(&content, SHN_UINT, 5);
    tree.close_block(&content);
    tree.open_block(tree.top(), grammar_.entry(shape_), &content);
    tree.close_block(&content);
    ASSERT_EQ(write_binary_file(ctx_.conv, u"out.bin", table_, &file_, tree.first(), comp), 1);

    sFioShareFile* stream = fioshare_file_open(ctx_.conv.rep, u"out.bin", FIO_READ, FIO_COMP_NONE, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fioshare_get_comp(stream), comp);
    Bytes body(stream->body, stream->body + stream->body_size);
    fioshare_file_close(stream);
    EXPECT_EQ(body, (Bytes{'T',  'O',  'R',  'V',  '0',  0x21, 0x01, 'b',  '@',  '@',  '@',  '@',  '@',
                           '@',  '@',  '@',  0x02, 0x00, 0x01, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x05,
                           0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
  }
}

TEST_F(BinaryFileTest, FailedNodeLeavesTheOldFile) {
  sShapeItemNode* content;
  tree_.open_block(tree_.top(), grammar_.entry(shape_), &content);
  tree_.close_block(&content);
  tree_.open_block(tree_.top(), grammar_.entry(unknown_), &content);
  tree_.close_block(&content);
  vxtest::write_file(dir_.path() / "out.bin", "old");
  EXPECT_EQ(write_binary_file(ctx_.conv, u"out.bin", table_, &file_, tree_.first(), FIO_COMP_ZLIB), 0);
  EXPECT_EQ(vxtest::read_file(dir_.path() / "out.bin"), "old");
  EXPECT_EQ(write_binary_file(ctx_.conv, u"new.bin", table_, &file_, tree_.first(), FIO_COMP_NONE), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "new.bin"));
}

TEST_F(BinaryFileTest, OutputThatCannotBeCreatedSetsTheLastError) {
  sShapeItemNode* content;
  tree_.open_block(tree_.top(), grammar_.entry(shape_), &content);
  tree_.close_block(&content);
  EXPECT_EQ(write_binary_file(ctx_.conv, u"missing/out.bin", table_, &file_, tree_.first(), FIO_COMP_NONE), 0);
  EXPECT_EQ(ctx_.conv.last_error_code, kErrorCannotWrite);
  EXPECT_EQ(write_binary_file(ctx_.conv, nullptr, table_, &file_, tree_.first(), FIO_COMP_NONE), 0);
  EXPECT_EQ(write_binary_file(ctx_.conv, u"out.bin", nullptr, &file_, tree_.first(), FIO_COMP_NONE), 0);
  EXPECT_EQ(write_binary_file(ctx_.conv, u"out.bin", table_, nullptr, tree_.first(), FIO_COMP_NONE), 0);
}

}  // namespace
