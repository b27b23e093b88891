#include "shape/binary_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "shape/body_bytes.h"
#include "shape/grammar_walker.h"
#include "shape/shape_test_support.h"
#include "support/alloc_hook.h"

namespace {

using vxtest::Bytes;
using vxtest::describe;

constexpr sUInt kItemId = 0x00010002;  // upper half 1, lower half 2
constexpr sUInt kOnId = 0x00030007;
constexpr char kPassedEndOfBlock[] = "Passed end of block [ShpFile 1040]\n [File: ShpFile Line: 1040]";

struct ReadOptions {
  // Nodes made in an arena (as a file read makes them) or on the heap.
  bool in_arena = false;
  // Allocations the match may make before one fails (negative: none fails).
  long allocations = -1;
};

// One read of a body (behind a 16-byte body header) held in a buffer of
// exactly its size, so that any read past it is caught by the sanitizers.
class BinaryRead {
 public:
  BinaryRead(shapetest::Context& ctx, sBNFTokenDef* root_rule, const Bytes& body, ReadOptions options = {}) {
    const sUInt size = sUInt(kBodyHeaderBytes + body.v.size());
    buffer_.reset(new sByte[size]);
    std::memcpy(buffer_.get(), "TORV0\x01\x01" "b\0\0\0\0\0\0\0\0", kBodyHeaderBytes);
    if (!body.v.empty()) std::memcpy(buffer_.get() + kBodyHeaderBytes, body.v.data(), body.v.size());
    if (options.in_arena) arena_ = shape_arena_create();
    root_entry_ = sBNFSubtoken{root_rule, nullptr};
    root_ = shape_node_create(nullptr, arena_);
    root_->type = SHN_PARENT;
    root_->bnf_entry = &root_entry_;
    sShapeItemNode* cursor = root_;
    end_offset = kBodyHeaderBytes;
    vexlor_mem_fail_after(options.allocations);
    matched = match_binary(ctx.conv, arena_, buffer_.get(), size, &end_offset, &root_entry_, &cursor, &resolved);
    vexlor_mem_fail_after(-1);
    cursor_on_root = cursor == root_;
  }
  ~BinaryRead() {
    shape_tree_free(root_, arena_);
    shape_arena_release(arena_);
  }
  std::string tree() const { return describe(root_->child); }
  const sShapeItemNode* first() const { return root_->child; }

  int matched = 0;
  int resolved = -1;
  sUInt end_offset = 0;
  bool cursor_on_root = false;

 private:
  std::unique_ptr<sByte[]> buffer_;
  sShapeArena* arena_ = nullptr;
  sBNFSubtoken root_entry_{};
  sShapeItemNode* root_ = nullptr;
};

size_t count_lines(const vxtest::DebugCapture& capture, const std::string& line) {
  size_t n = 0;
  for (const auto& l : capture.lines()) n += l == line;
  return n;
}

TEST(BinaryReader, ThirteenByteBlockReadsBackAsNameBracketsAndValue) {
  shapetest::Context ctx{{u"Item", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_UINT)});
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {item});
  Bytes body;
  body.u8(0x02).u8(0x00).u8(0x01).u8(0x00).u8(0x05).u8(0).u8(0).u8(0).u8(0).u8(0x05).u8(0).u8(0).u8(0);

  BinaryRead read(ctx, file, body);
  ASSERT_EQ(read.matched, 1);
  EXPECT_EQ(read.tree(), "{Item ( u5 )}");
  EXPECT_EQ(read.end_offset, 16u + 13u);
  EXPECT_EQ(read.resolved, 1);
  const sShapeItemNode* block = read.first();
  EXPECT_EQ(block->bnf_entry->def, item);
  EXPECT_EQ(block->child->bnf_entry, block->bnf_entry);       // token name: the block's own entry
  EXPECT_EQ(block->child->next->bnf_entry, nullptr);          // "("
  EXPECT_EQ(block->child->next->next->bnf_entry->def->type, sUInt(BNFT_UINT));
  EXPECT_EQ(block->child->next->next->next->bnf_entry, nullptr);  // ")"
}

TEST(BinaryReader, FloatArrayTakesValuesUpToTheBlockEnd) {
  shapetest::Context ctx{{u"Item", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_CON_ARRAY, nullptr, {g.def(BNFT_FLOAT)})});
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {item, g.def(BNFT_BYTE)});
  Bytes content;
  content.f32(1.5f).f32(-2.0f).f32(0.25f);
  Bytes body = Bytes::block(kItemId, content);
  ASSERT_EQ(body.v.size(), 4u + 4u + 1u + 12u);
  body.u8(0xAB);  // the byte after the block is not a float of the array

  BinaryRead read(ctx, file, body);
  ASSERT_EQ(read.matched, 1);
  EXPECT_EQ(read.tree(), "{Item ( {f1.5 f-2 f0.25} )} bab");
  EXPECT_EQ(count_lines(ctx.debug, kPassedEndOfBlock), 1u);
}

TEST(BinaryReader, EveryValueKindTakesItsSize) {
  shapetest::Context ctx{{u"Item", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_SINT), g.def(BNFT_DWORD), g.def(BNFT_BYTE),
                                                      g.def(BNFT_TOKEN), g.def(BNFT_STRING), g.def(BNFT_UINT),
                                                      g.def(BNFT_STRING)});
  Bytes content;
  content.u32(sUInt(-3)).u32(0x2a).u8(0xff).u32(kOnId).str(u"").u32(4000000000u).str(u"hi");
  BinaryRead read(ctx, g.def(BNFT_RULEDEF, u"FILE", {item}), Bytes::block(kItemId, content));
  ASSERT_EQ(read.matched, 1);
  EXPECT_EQ(read.tree(), "{Item ( i-3 x2a bff t30007 '' u4000000000 'hi' )}");
  const sShapeItemNode* empty = read.first()->child->next->next->next->next->next->next;
  ASSERT_NE(empty->text, nullptr);
  EXPECT_EQ(empty->text[0], 0);
}

std::u16string text_of(const sShapeItemNode* node) { return node->text != nullptr ? node->text : u"(none)"; }

// A token value is named only when the
// name leads back to the same definition (names compare without case);
// otherwise it, and the tree, is left to normalisation.
TEST(BinaryReader, TokenValuesAreNamedWhenTheNameLeadsBackToTheirDefinition) {
  constexpr sUInt kOffId = 0x00030008;
  constexpr sUInt kShadowedId = 0x00030009;
  shapetest::Context ctx{{u"Item", kItemId}, {u"on", kOnId}, {u"off", kOffId}, {u"ON", kShadowedId}};
  const struct {
    sUInt id;
    const char16_t* text;
    int resolved;
  } cases[] = {
      {kOnId, u"on", 1},
      {kOffId, u"off", 1},
      {kShadowedId, u"(none)", 0},  // "ON" finds "on" first
      {0x12345678, u"(none)", 0},   // no definition
  };
  for (const auto& c : cases) {
    shapetest::Grammar g;
    sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_TOKEN), g.def(BNFT_UINT), g.def(BNFT_FLOAT)});
    Bytes content;
    content.u32(c.id).u32(7).f32(1.5f);
    BinaryRead read(ctx, g.def(BNFT_RULEDEF, u"FILE", {item}), Bytes::block(kItemId, content));
    ASSERT_EQ(read.matched, 1);
    EXPECT_EQ(read.resolved, c.resolved) << std::hex << c.id;
    const sShapeItemNode* token = read.first()->child->next->next;
    EXPECT_EQ(token->value, c.id);
    EXPECT_EQ(text_of(token), c.text);
    // The numbers behind it keep their values alone.
    EXPECT_EQ(token->next->value, 7u);
    EXPECT_EQ(token->next->next->value, 0x3FC00000u);
    EXPECT_EQ(token->next->text, nullptr);
  }
}

TEST(BinaryReader, LiteralWithoutBinaryFormMatchesEverywhereWithoutBytes) {
  shapetest::Context ctx{{u"Item", kItemId}, {u"on", kOnId}};
  shapetest::Grammar g;
  // "off" names no token: it matches even where the block is used up.
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_UINT), g.def(BNFT_LITERAL, u"off")});
  Bytes content;
  content.u32(9);
  BinaryRead read(ctx, g.def(BNFT_RULEDEF, u"FILE", {item, g.def(BNFT_LITERAL, u"off")}),
                  Bytes::block(kItemId, content));
  ASSERT_EQ(read.matched, 1);
  EXPECT_EQ(read.tree(), "{Item ( u9 off )} off");

  // Repeated, it ends the repetition instead of looping.
  sBNFTokenDef* repeat = g.def(BNFT_CON_REPEAT, nullptr, {g.def(BNFT_LITERAL, u"off")});
  sBNFTokenDef* array = g.def(BNFT_CON_ARRAY, nullptr, {g.def(BNFT_CON_OPTIONAL, nullptr, {g.def(BNFT_UINT)})});
  BinaryRead repeated(ctx, g.def(BNFT_RULEDEF, u"FILE", {g.def(BNFT_TOKENDEF, u"Item", {repeat, array})}),
                      Bytes::block(kItemId, Bytes{}));
  ASSERT_EQ(repeated.matched, 1);
  EXPECT_EQ(repeated.tree(), "{Item ( off )}");  // the empty array is dropped, so ")" stays in the block
}

TEST(BinaryReader, LiteralWithTokenMatchesItsIdAndRefusesAtTheBlockEnd) {
  shapetest::Context ctx{{u"Item", kItemId}, {u"on", kOnId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_LITERAL, u"ON"), g.def(BNFT_UINT)});
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {item});
  {
    Bytes content;
    content.u8(0x07).u8(0x00).u8(0x03).u8(0x00).u32(1);
    BinaryRead read(ctx, file, Bytes::block(kItemId, content));
    ASSERT_EQ(read.matched, 1);
    EXPECT_EQ(read.tree(), "{Item ( ON u1 )}");
  }
  {
    Bytes content;
    content.u32(kOnId + 1).u32(1);
    BinaryRead read(ctx, file, Bytes::block(kItemId, content));
    EXPECT_EQ(read.matched, 0);
  }
  ctx.debug.clear();
  BinaryRead read(ctx, file, Bytes::block(kItemId, Bytes{}).u32(kOnId).u32(1));
  EXPECT_EQ(read.matched, 0);
  EXPECT_EQ(count_lines(ctx.debug, kPassedEndOfBlock), 1u);
}

TEST(BinaryReader, BlockNameBecomesLiteralNodeBetweenTokenNameAndBracket) {
  shapetest::Context ctx{{u"Item", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_UINT)});
  Bytes content;
  content.u32(5);
  BinaryRead read(ctx, g.def(BNFT_RULEDEF, u"FILE", {item}), Bytes::block(kItemId, content, u"AB"));
  ASSERT_EQ(read.matched, 1);
  EXPECT_EQ(read.tree(), "{Item AB ( u5 )}");
  const sShapeItemNode* name = read.first()->child->next;
  EXPECT_EQ(name->type, sUInt(SHN_LITERAL));
  EXPECT_EQ(name->bnf_entry, nullptr);
}

TEST(BinaryReader, UnconsumedBlockBytesAreReadByTheFollowingSibling) {
  shapetest::Context ctx{{u"Item", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_UINT)});
  Bytes content;
  content.u32(5).u8(0x11).u8(0x22);
  BinaryRead read(ctx, g.def(BNFT_RULEDEF, u"FILE", {item, g.def(BNFT_BYTE)}), Bytes::block(kItemId, content));
  ASSERT_EQ(read.matched, 1);
  EXPECT_EQ(read.tree(), "{Item ( u5 )} b11");
  EXPECT_EQ(read.end_offset, 16u + 9u + 4u + 1u);
}

// A recursive rule: Node = ( :uint [ Node ] ). Two sibling nodes must stay
// siblings: the second lies behind the first one's end and is no child of
// it, although its id would match there.
TEST(BinaryReader, BlockBehindTheEnclosingBlockEndIsNotTakenAsItsChild) {
  shapetest::Context ctx{{u"Node", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* node = g.def(BNFT_TOKENDEF, u"Node");
  g.set_items(node, {g.def(BNFT_UINT), g.def(BNFT_CON_OPTIONAL, nullptr, {node})});
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {g.def(BNFT_CON_REPEAT, nullptr, {node})});

  Bytes one, two, inner, nested;
  one.u32(1);
  two.u32(2);
  inner.u32(3);
  nested.u32(4).add(Bytes::block(kItemId, inner));
  Bytes body = Bytes::block(kItemId, one).add(Bytes::block(kItemId, two)).add(Bytes::block(kItemId, nested));
  BinaryRead read(ctx, file, body);
  ASSERT_EQ(read.matched, 1);
  EXPECT_EQ(read.tree(), "{Node ( u1 )} {Node ( u2 )} {Node ( u4 {Node ( u3 )} )}");
  EXPECT_EQ(read.end_offset, 16u + body.v.size());
  EXPECT_GE(count_lines(ctx.debug, kPassedEndOfBlock), 3u);
}

// Each body is cut or lies about a size; none may be read outside its
// buffer (the buffer has exactly the body's size), none may match.
TEST(BinaryReader, LyingSizesAndTruncatedDataDoNotMatch) {
  shapetest::Context ctx{{u"Item", kItemId}, {u"Outer", kOnId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_UINT)});
  sBNFTokenDef* text_item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_STRING)});
  sBNFTokenDef* outer = g.def(BNFT_TOKENDEF, u"Outer", {item, g.def(BNFT_BYTE)});
  struct Case {
    const char* what;
    sBNFTokenDef* rule;
    Bytes body;
  };
  const Case cases[] = {
      {"empty body", item, Bytes{}},
      {"id cut", item, Bytes{}.u8(0x02).u8(0x00)},
      {"size cut", item, Bytes{}.u32(kItemId).u16(9)},
      {"name length missing", item, Bytes{}.u32(kItemId).u32(0)},
      {"size beyond the body", item, Bytes{}.u32(kItemId).u32(100).u8(0).u32(5)},
      {"size wraps around", item, Bytes{}.u32(kItemId).u32(0xFFFFFFF8u).u8(0).u32(5)},
      {"size zero", item, Bytes{}.u32(kItemId).u32(0).u8(0).u32(5)},
      {"name length past the end", item, Bytes{}.u32(kItemId).u32(5).u8(200).u32(5)},
      {"value cut", item, Bytes{}.u32(kItemId).u32(3).u8(0).u16(5)},
      {"string length past the end", text_item, Bytes{}.u32(kItemId).u32(7).u8(0).u16(3).u16('a').u16('b')},
      {"string length cut", text_item, Bytes{}.u32(kItemId).u32(2).u8(0).u8(1)},
      // No text form can hold a zero unit; taking it would lose the rest.
      {"string with a zero unit", text_item, Bytes{}.u32(kItemId).u32(7).u8(0).u16(2).u16('a').u16(0)},
      {"block name with a zero unit", item, Bytes{}.u32(kItemId).u32(9).u8(2).u16(0).u16('b').u32(5)},
      {"inner block beyond the enclosing block", outer,
       Bytes{}.u32(kOnId).u32(1 + 9 + 1).u8(0).u32(kItemId).u32(1 + 4 + 1).u8(0).u32(5).u8(7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BinaryRead read(ctx, g.def(BNFT_RULEDEF, u"FILE", {c.rule}), c.body);
    EXPECT_EQ(read.matched, 0);
    EXPECT_EQ(read.tree(), "");
    EXPECT_EQ(read.end_offset, 16u);
    EXPECT_TRUE(read.cursor_on_root);
  }
  // Values at the top level stop at the body's end as well.
  const std::pair<sUInt, int> top_level[] = {{BNFT_UINT, 3}, {BNFT_FLOAT, 0}, {BNFT_BYTE, 0}, {BNFT_STRING, 1},
                                             {BNFT_TOKEN, 2}};
  for (const auto& [kind, bytes] : top_level) {
    Bytes body;
    for (int i = 0; i < bytes; ++i) body.u8(1);
    BinaryRead read(ctx, g.def(kind), body);
    EXPECT_EQ(read.matched, 0) << kind;
  }
}

// The constructs give back what a failed attempt read and linked, so that
// what follows reads those bytes again; on the heap and in an arena alike.
TEST(BinaryReader, FailedAttemptsGiveBackTheirBytesAndNodes) {
  shapetest::Context ctx{{u"Item", kItemId}, {u"A", 0x10}, {u"B", 0x20}};
  shapetest::Grammar g;
  auto in_item = [&](std::vector<sBNFTokenDef*> content) {
    return g.def(BNFT_RULEDEF, u"FILE", {g.def(BNFT_TOKENDEF, u"Item", std::move(content))});
  };
  Bytes pairs;
  pairs.u32(1).u8(2).u32(3);
  Bytes one_dword;
  one_dword.u32(0xabc);
  struct Case {
    const char* what;
    sBNFTokenDef* rule;
    Bytes body;
    const char* tree;
  };
  const Case cases[] = {
      {"repetition failing part-way",
       in_item({g.def(BNFT_CON_REPEAT, nullptr, {g.def(BNFT_UINT), g.def(BNFT_BYTE)}), g.def(BNFT_UINT)}),
       Bytes::block(kItemId, pairs), "{Item ( u1 b2 u3 )}"},
      {"array failing part-way",
       in_item({g.def(BNFT_CON_ARRAY, nullptr, {g.def(BNFT_UINT), g.def(BNFT_BYTE)}), g.def(BNFT_UINT)}),
       Bytes::block(kItemId, pairs), "{Item ( {u1 b2} u3 )}"},
      {"optional part failing",
       in_item({g.def(BNFT_CON_OPTIONAL, nullptr, {g.def(BNFT_UINT), g.def(BNFT_UINT)}), g.def(BNFT_DWORD)}),
       Bytes::block(kItemId, one_dword), "{Item ( xabc )}"},
      // The failed try of A under the still childless root leaves nothing.
      {"choice under a childless parent",
       g.def(BNFT_RULEDEF, u"FILE",
             {g.def(BNFT_CON_REPEAT, nullptr,
                    {g.def(BNFT_CON_CHOICE, nullptr,
                           {g.def(BNFT_TOKENDEF, u"A", {g.def(BNFT_UINT)}),
                            g.def(BNFT_TOKENDEF, u"B", {g.def(BNFT_BYTE)})})})}),
       Bytes::block(0x20, Bytes{}.u8(1)).add(Bytes::block(0x10, Bytes{}.u32(2))), "{B ( b1 )} {A ( u2 )}"},
      {"first alternative that matches",
       g.def(BNFT_RULEDEF, u"FILE", {g.def(BNFT_CON_CHOICE, nullptr, {g.def(BNFT_BYTE), g.def(BNFT_UINT)})}),
       Bytes{}.u32(0x01020304), "b4"},
  };
  for (bool in_arena : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (in_arena ? " (arena)" : ""));
      BinaryRead read(ctx, c.rule, c.body, {in_arena});
      ASSERT_EQ(read.matched, 1);
      EXPECT_EQ(read.tree(), c.tree);
    }
  }
}

TEST(BinaryReader, EmptyConstructsFail) {
  shapetest::Context ctx;
  shapetest::Grammar g;
  for (sUInt kind : {BNFT_RULEDEF, BNFT_CON_GROUP, BNFT_CON_OPTIONAL, BNFT_CON_REPEAT, BNFT_CON_ARRAY,
                     BNFT_CON_CHOICE}) {
    BinaryRead read(ctx, g.def(kind), Bytes{}.u32(1));
    EXPECT_EQ(read.matched, 0) << kind;
    EXPECT_EQ(read.tree(), "");
  }
}

TEST(BinaryReader, MissingDefinitionCursorOrKindIsReported) {
  shapetest::Context ctx;
  shapetest::Grammar g;
  const sByte body[kBodyHeaderBytes + 4] = {};
  sUInt position = kBodyHeaderBytes;
  auto match = [&](const sBNFSubtoken* entry, sShapeItemNode** cursor) {
    return match_binary(ctx.conv, nullptr, body, sizeof body, &position, entry, cursor, nullptr);
  };
  sBNFSubtoken empty{nullptr, nullptr};
  sShapeItemNode* root = shape_node_create(nullptr);
  sShapeItemNode* cursor = root;
  EXPECT_EQ(match(&empty, &cursor), 0);
  sShapeItemNode* none = nullptr;
  sBNFSubtoken value{g.def(BNFT_UINT), nullptr};
  EXPECT_EQ(match(&value, &none), 0);
  EXPECT_EQ(match(&value, nullptr), 0);
  sBNFSubtoken odd{g.def(15), nullptr};
  EXPECT_EQ(match(&odd, &cursor), 0);
  EXPECT_EQ(position, kBodyHeaderBytes);
  const auto& lines = ctx.debug.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "NULL sBNFTokenDef pointer [ShpFile 968]\n [File: ShpFile Line: 968]");
  EXPECT_EQ(lines[1], "NULL previous item reference [ShpFile 974]\n [File: ShpFile Line: 974]");
  EXPECT_EQ(lines[2], lines[1]);
  EXPECT_EQ(lines[3], "Internal error [BNFParse 1343]\n [File: ShpFile Line: 1343]");
  shape_tree_free(root);
}

// Node = ( [ Node ] :byte ): each nesting level costs two grammar levels.
Bytes nested_nodes(sUInt levels) {
  Bytes body = Bytes::block(kItemId, Bytes{}.u8(0));
  for (sUInt i = 1; i < levels; ++i) body = Bytes::block(kItemId, Bytes{body}.u8(0));
  return body;
}

TEST(BinaryReader, NestingBeyondTheLimitFailsTheWholeRead) {
  shapetest::Context ctx{{u"Node", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* node = g.def(BNFT_TOKENDEF, u"Node");
  g.set_items(node, {g.def(BNFT_CON_OPTIONAL, nullptr, {node}), g.def(BNFT_BYTE)});
  // The outer rule would succeed with nothing if the failure deep inside
  // were taken for a plain mismatch.
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {g.def(BNFT_CON_OPTIONAL, nullptr, {node})});
  {
    BinaryRead read(ctx, file, nested_nodes(kMaxMatchDepth / 2 - 10));
    EXPECT_EQ(read.matched, 1);
  }
  BinaryRead read(ctx, file, nested_nodes(kMaxMatchDepth));
  EXPECT_EQ(read.matched, 0);
  EXPECT_EQ(read.tree(), "");
  EXPECT_EQ(read.end_offset, 16u);
  EXPECT_EQ(count_lines(ctx.debug, "Binary data nested deeper than 2000 grammar levels [ShpFile 980]\n"
                                   " [File: ShpFile Line: 980]"),
            1u);
}

// Rules that each try the next rule twice: 2^levels attempts for one value.
sBNFTokenDef* doubling_rules(shapetest::Grammar& g, int levels) {
  sBNFTokenDef* rule = g.def(BNFT_RULEDEF, u"Last", {g.def(BNFT_CON_OPTIONAL, nullptr, {g.def(BNFT_UINT)})});
  for (int i = 0; i < levels; ++i) {
    rule = g.def(BNFT_RULEDEF, u"Twice",
                 {g.def(BNFT_CON_OPTIONAL, nullptr, {rule}), g.def(BNFT_CON_OPTIONAL, nullptr, {rule})});
  }
  return g.def(BNFT_RULEDEF, u"FILE", {rule, g.def(BNFT_BYTE)});
}

TEST(BinaryReader, ExponentialBacktrackingFailsTheReadInsteadOfRunningForDays) {
  shapetest::Context ctx;
  shapetest::Grammar g;
  Bytes body;
  body.u8(0x7F);  // one byte: never a uint, always the final byte
  {
    BinaryRead read(ctx, doubling_rules(g, 8), body);
    EXPECT_EQ(read.matched, 1);
    EXPECT_EQ(read.tree(), "b7f");
  }
  BinaryRead read(ctx, doubling_rules(g, 40), body);
  EXPECT_EQ(read.matched, 0);
  EXPECT_EQ(read.end_offset, 16u);
  EXPECT_EQ(count_lines(ctx.debug, "Too many attempts to match the binary data [ShpFile 982]\n"
                                   " [File: ShpFile Line: 982]"),
            1u);
}

TEST(BinaryReader, ExhaustedMemoryFailsTheReadWithNothingLeftBehind) {
  shapetest::Context ctx{{u"Item", kItemId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_STRING), g.def(BNFT_UINT)});
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {g.def(BNFT_CON_REPEAT, nullptr, {g.def(BNFT_CON_OPTIONAL, nullptr, {item})})});
  Bytes content;
  content.str(u"abc").u32(1);
  Bytes body = Bytes::block(kItemId, content, u"N").add(Bytes::block(kItemId, content));
  bool succeeded = false;
  for (long allowed = 0; allowed < 40 && !succeeded; ++allowed) {
    BinaryRead read(ctx, file, body, {false, allowed});
    succeeded = read.matched == 1;
    if (succeeded) {
      EXPECT_EQ(read.tree(), "{Item N ( 'abc' u1 )} {Item ( 'abc' u1 )}");
    } else {
      EXPECT_EQ(read.tree(), "") << allowed;
    }
  }
  EXPECT_TRUE(succeeded);
}

// Bodies with random bytes changed, cut short or lengthened: every read
// either matches or fails with the position back behind the header, and
// none reads outside its buffer (checked by the sanitizer builds).
TEST(BinaryReader, MangledBodiesMatchOrFailCleanly) {
  shapetest::Context ctx{{u"Item", kItemId}, {u"Node", kOnId}};
  shapetest::Grammar g;
  sBNFTokenDef* node = g.def(BNFT_TOKENDEF, u"Node");
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item",
                             {g.def(BNFT_STRING), g.def(BNFT_CON_OPTIONAL, nullptr, {node}),
                              g.def(BNFT_CON_ARRAY, nullptr, {g.def(BNFT_FLOAT), g.def(BNFT_BYTE)})});
  g.set_items(node, {g.def(BNFT_CON_REPEAT, nullptr, {g.def(BNFT_CON_CHOICE, nullptr, {node, g.def(BNFT_UINT)})})});
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {g.def(BNFT_CON_REPEAT, nullptr, {item})});

  Bytes inner, outer, content;
  inner.u32(7).u32(8);
  outer.add(Bytes::block(kOnId, inner)).u32(9);
  content.str(u"name").add(Bytes::block(kOnId, outer)).f32(1.5f).u8(1).f32(2.5f).u8(2);
  Bytes valid = Bytes::block(kItemId, content, u"AB").add(Bytes::block(kItemId, Bytes{}.str(u"").f32(0).u8(0)));
  {
    BinaryRead read(ctx, file, valid);
    ASSERT_EQ(read.matched, 1);
    EXPECT_EQ(read.tree(), "{Item AB ( 'name' {Node ( {Node ( u7 u8 )} u9 )} {f1.5 b1 f2.5 b2} )} {Item ( '' {f0 b0} )}");
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    Bytes body = valid;
    const int changes = 1 + int(rng() % 4);
    for (int c = 0; c < changes; ++c) {
      const size_t at = rng() % body.v.size();
      switch (rng() % 4) {
        case 0: body.v[at] = sByte(rng()); break;
        case 1: body.v[at] ^= sByte(1u << (rng() % 8)); break;
        case 2: body.v.resize(at); break;
        default: body.v.insert(body.v.begin() + long(at), sByte(rng())); break;
      }
      if (body.v.empty()) break;
    }
    ctx.debug.clear();
    BinaryRead read(ctx, file, body, {round % 2 == 1});
    if (!read.matched) {
      EXPECT_EQ(read.end_offset, 16u);
      EXPECT_EQ(read.tree(), "");
    } else {
      EXPECT_LE(read.end_offset, 16u + body.v.size());
    }
  }
}

}  // namespace

// A failed read names the furthest offset any attempt reached, the blocks
// around it by token and block name, and what was refused there.
TEST(BinaryReader, FailedReadNamesTheFurthestOffsetAndItsBlocks) {
  shapetest::Context ctx{{u"Item", kItemId}, {u"on", kOnId}};
  shapetest::Grammar g;
  sBNFTokenDef* item = g.def(BNFT_TOKENDEF, u"Item", {g.def(BNFT_UINT), g.def(BNFT_LITERAL, u"on")});
  sBNFTokenDef* file = g.def(BNFT_RULEDEF, u"FILE", {item});
  Bytes content;
  content.u32(7).u32(kItemId);
  Bytes body = Bytes::block(kItemId, content, u"box");

  BinaryRead read(ctx, file, body);
  ASSERT_EQ(read.matched, 0);
  const sReadDiagnosis& d = ctx.conv.diagnosis;
  EXPECT_EQ(d.failure, sReadFailure::kMismatch);
  EXPECT_TRUE(d.binary);
  EXPECT_EQ(d.offset, 16u + 4 + 4 + 1 + 6 + 4);  // behind the uint, where 'on' was looked for
  ASSERT_EQ(d.expected.size(), 1u);
  EXPECT_EQ(d.expected[0], u"'on'");
  EXPECT_EQ(d.found, u"'Item' (0x00010002)");
  ASSERT_EQ(d.blocks.size(), 1u);
  EXPECT_EQ(d.blocks[0], u"Item box");
}
