#include "shape/shape_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/memory.h"
#include "common/strings.h"
#include "shape/shape_test_support.h"
#include "shape/value_text.h"
#include "support/alloc_hook.h"

namespace {

std::u16string text_of(const sShapeItemNode* node) {
  return node != nullptr && node->text != nullptr ? std::u16string(node->text) : std::u16string();
}

sShapeItemNode* make_parent(sShapeItemNode** cursor, sShapeArena* arena = nullptr) {
  sShapeItemNode* node = shape_node_create(cursor, arena);
  node->type = SHN_PARENT;
  return node;
}

sShapeItemNode* make_value(sShapeItemNode** cursor, sUInt type, const char16_t* text, sUInt value = 0,
                           sShapeArena* arena = nullptr) {
  sShapeItemNode* node = text != nullptr ? shape_node_create_text(cursor, text, wstr_len(text), arena)
                                         : shape_node_create(cursor, arena);
  node->type = type;
  node->value = value;
  return node;
}

TEST(ShapeTreeTest, CreatedNodeLinksAsFirstChildOfChildlessParentOnly) {
  sShapeItemNode* root = shape_node_create(nullptr);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->type, SHN_LITERAL);
  EXPECT_EQ(root->next, nullptr);
  EXPECT_EQ(root->text, nullptr);
  root->type = SHN_PARENT;

  sShapeItemNode* cursor = root;
  sShapeItemNode* a = shape_node_create(&cursor);
  EXPECT_EQ(root->child, a);
  EXPECT_EQ(cursor, a);
  sShapeItemNode* b = shape_node_create(&cursor);
  EXPECT_EQ(a->next, b);

  // A parent that already has children gets a sibling.
  sShapeItemNode* at_root = root;
  sShapeItemNode* c = shape_node_create(&at_root);
  EXPECT_EQ(root->next, c);
  EXPECT_EQ(root->child, a);

  sShapeItemNode* none = nullptr;
  EXPECT_EQ(shape_node_create(&none), nullptr);
  shape_tree_free(root);
}

TEST(ShapeTreeTest, NodeTextIsCopiedWithItsLength) {
  const char16_t source[] = u"abcdef";
  sShapeItemNode* node = shape_node_create_text(nullptr, source, 3);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(text_of(node), u"abc");
  // A text replaced by a separate string is freed as such.
  node->text = alloc_string(u"other", 0);
  shape_tree_free(node);

  sShapeItemNode* empty = shape_node_create_text(nullptr, u"", 0);
  EXPECT_EQ(text_of(empty), u"");
  EXPECT_NE(empty->text, nullptr);
  shape_tree_free(empty);
}

TEST(ShapeTreeTest, NodeTextMayLieAtAnyByteOffset) {
  // The binary reader hands over texts where they stand in the body, at odd
  // offsets too; short and long texts are copied without a misaligned load
  // (the sanitizer build stops at one).
  alignas(2) unsigned char body[2 + 2 * 40] = {};
  for (int i = 0; i < 40; ++i) body[1 + 2 * i] = static_cast<unsigned char>('a' + i % 26);
  const auto* odd = reinterpret_cast<const char16_t*>(body + 1);
  for (sUInt length : {1u, 5u, 16u, 17u, 40u}) {
    sShapeItemNode* node = shape_node_create_text(nullptr, odd, length);
    ASSERT_NE(node, nullptr);
    std::u16string expected;
    for (sUInt i = 0; i < length; ++i) expected += static_cast<char16_t>('a' + i % 26);
    EXPECT_EQ(text_of(node), expected) << length;
    shape_tree_free(node);
  }
}

// Undo works the same on the heap and in an arena, where it sets the top
// back instead of freeing.
TEST(ShapeTreeTest, UndoAtChildlessParentRemovesWhatTheAttemptLinked) {
  for (bool in_arena : {false, true}) {
    SCOPED_TRACE(in_arena);
    sShapeArena* arena = in_arena ? shape_arena_create() : nullptr;
    sShapeItemNode* root = make_parent(nullptr, arena);
    sShapeItemNode* cursor = root;
    sShapeMark mark = shape_tree_mark(cursor, arena);
    EXPECT_TRUE(mark.childless_parent);
    make_value(&cursor, SHN_STRING, u"a", 0, arena);
    make_parent(&cursor, arena);
    shape_tree_undo(&cursor, mark, arena);
    EXPECT_EQ(cursor, root);
    EXPECT_EQ(root->child, nullptr);

    // The next attempt links as first child again, not as the root's sibling.
    sShapeItemNode* b = make_value(&cursor, SHN_STRING, u"b", 0, arena);
    EXPECT_EQ(root->child, b);
    EXPECT_EQ(root->next, nullptr);

    // Marked at a node with children only its later siblings go.
    mark = shape_tree_mark(b, arena);
    EXPECT_FALSE(mark.childless_parent);
    make_value(&cursor, SHN_STRING, u"c", 0, arena);
    shape_tree_undo(&cursor, mark, arena);
    EXPECT_EQ(cursor, b);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_EQ(root->child, b);
    EXPECT_EQ(text_of(b), u"b");
    shape_tree_free(root, arena);
    shape_arena_release(arena);
  }
}

TEST(ShapeTreeTest, DeepTreesFreeAndNormaliseWithoutRecursion) {
  constexpr int kDepth = 200000;
  shapetest::Context ctx{{u"Outer", 1}, {u"Inner", 2}};
  sShapeItemNode* root = make_parent(nullptr);
  sShapeItemNode* cursor = root;
  for (int i = 0; i < kDepth; ++i) {
    make_value(&cursor, SHN_TOKEN, nullptr, 1);
    make_parent(&cursor);
  }
  make_value(&cursor, SHN_TOKEN, nullptr, 2);
  EXPECT_EQ(shape_tree_normalise(ctx.conv.rep, ctx.conv.tokens, root), 1);
  EXPECT_EQ(text_of(cursor), u"Inner");
  EXPECT_EQ(text_of(root->child), u"Outer");
  shape_tree_free(root);
}

TEST(ShapeTreeTest, NumbersAreFormattedAsTheTextFormWritesThem) {
  struct Case {
    sUInt type;
    sUInt value;
    const char16_t* text;
  } cases[] = {
      {SHN_SINT, static_cast<sUInt>(-3), u"-3"},
      {SHN_UINT, 3000000000u, u"3000000000"},
      {SHN_DWORD, 42, u"0000002a"},
      {SHN_BYTE, 42, u"2a"},
      {SHN_BYTE, 0x1FF, u"ff"},
      {SHN_FLOAT, 0x3FC00000u, u"1.5"},   // 1.5f
      {SHN_FLOAT, 0x3DCCCCCDu, u"0.1"},   // 0.1f
      {SHN_FLOAT, 0x4B800000u, u"16777216"},  // "%g" alone would give 1.67772e+07
  };
  for (const auto& c : cases) {
    char16_t text[kValueTextUnits];
    const sUInt length = shape_format_number(c.type, c.value, text);
    EXPECT_EQ(std::u16string(text, length), c.text);
  }
  char16_t text[kValueTextUnits];
  EXPECT_EQ(shape_format_number(SHN_STRING, 1, text), 0u);
}

// Numbers linked one after the other share one run while their entries
// repeat a pattern; an undone attempt gives back exactly the values it
// added, down to the single number the run began as.
TEST(ShapeTreeTest, NumbersPackIntoRunsThatUndoExactly) {
  shapetest::Grammar grammar;
  const sBNFSubtoken* x = grammar.entry(grammar.def(BNFT_FLOAT));
  const sBNFSubtoken* y = grammar.entry(grammar.def(BNFT_FLOAT));
  const sBNFSubtoken* z = grammar.entry(grammar.def(BNFT_UINT));
  const sBNFSubtoken* r = grammar.entry(grammar.def(BNFT_BYTE));
  const sBNFSubtoken* g = grammar.entry(grammar.def(BNFT_BYTE));
  sShapeArena* arena = shape_arena_create();
  ASSERT_NE(arena, nullptr);
  sShapeItemNode* root = make_parent(nullptr, arena);
  sShapeItemNode* cursor = root;
  auto add = [&](const sBNFSubtoken* e, sUInt value) {
    return shape_number_append(&cursor, e, e->def->type - BNFT_LITERAL, value, arena);
  };
  ASSERT_NE(add(x, 10), nullptr);
  sShapeItemNode* run = root->child;
  const sShapeMark single = shape_tree_mark(cursor, arena);
  const sBNFSubtoken* pattern[] = {x, y, z};
  sShapeMark at_seven{};
  for (sUInt i = 1; i < 12; ++i) {
    if (i == 7) at_seven = shape_tree_mark(cursor, arena);
    add(pattern[i % 3], 10 + i);
  }
  ASSERT_EQ(run->type, SHN_RUN);
  EXPECT_EQ(run->next, nullptr);
  ASSERT_EQ(shape_run_count(run), 12u);
  for (sUInt i = 0; i < 12; ++i) {
    EXPECT_EQ(shape_run_value(run, i), 10 + i);
    EXPECT_EQ(shape_run_type(run, i), i % 3 == 2 ? SHN_UINT : SHN_FLOAT);
  }

  // Back to seven values, then on with another entry: a node of its own.
  shape_tree_undo(&cursor, at_seven, arena);
  EXPECT_EQ(shape_run_count(run), 7u);
  add(x, 99);  // y is due here: a node of its own
  ASSERT_NE(run->next, nullptr);
  EXPECT_EQ(run->next->type, SHN_FLOAT);
  add(z, 98);
  shape_tree_undo(&cursor, at_seven, arena);
  EXPECT_EQ(cursor, run);
  EXPECT_EQ(run->next, nullptr);
  EXPECT_EQ(shape_run_count(run), 7u);
  add(y, 17);
  EXPECT_EQ(shape_run_count(run), 8u);
  EXPECT_EQ(shape_run_value(run, 7), 17u);

  shape_tree_undo(&cursor, single, arena);
  EXPECT_EQ(run->type, SHN_FLOAT);
  EXPECT_EQ(run->value, 10u);
  EXPECT_EQ(run->next, nullptr);

  // Bytes take one byte each, in runs of bytes alone; a run learns its
  // pattern until an entry repeats.
  add(r, 0x1FF);
  EXPECT_EQ(run->type, SHN_FLOAT);
  ASSERT_NE(run->next, nullptr);
  EXPECT_EQ(run->next->value, 0x1FFu);
  shape_tree_undo(&cursor, single, arena);
  sShapeItemNode* string = make_value(&cursor, SHN_STRING, u"s", 0, arena);
  add(r, 1);
  add(g, 2);
  add(r, 3);
  sShapeItemNode* bytes = string->next;
  ASSERT_EQ(bytes->type, SHN_RUN);
  EXPECT_EQ(shape_run(bytes)->width, 1u);
  EXPECT_EQ(shape_run_count(bytes), 3u);
  add(x, 4);
  EXPECT_EQ(shape_run_count(bytes), 3u);
  EXPECT_EQ(bytes->next->type, SHN_FLOAT);

  // Without an arena every number is a node.
  sShapeItemNode* heap_root = make_parent(nullptr);
  sShapeItemNode* heap_cursor = heap_root;
  shape_number_append(&heap_cursor, x, SHN_FLOAT, 1, nullptr);
  shape_number_append(&heap_cursor, x, SHN_FLOAT, 2, nullptr);
  EXPECT_EQ(heap_root->child->type, SHN_FLOAT);
  EXPECT_EQ(heap_root->child->next->value, 2u);
  shape_tree_free(heap_root);
  shape_tree_free(root, arena);
  shape_arena_release(arena);
}

TEST(ShapeTreeTest, NormaliseParsesTextsAndNeverRewritesThem) {
  struct Case {
    sUInt type;
    const char16_t* text;
    sUInt value;
  } cases[] = {
      {SHN_SINT, u"007", 7},
      {SHN_SINT, u"-", 99},  // no convertible prefix: the value stays
      {SHN_SINT, u"", 99},
      {SHN_UINT, u"4294967295", 0xFFFFFFFFu},
      {SHN_DWORD, u"1F", 0x1F},
      {SHN_BYTE, u"1ff", 0x1FF},  // the whole value; only a binary body cuts it
      {SHN_FLOAT, u"2.5x", 0x40200000u},
      {SHN_FLOAT, u"", 99},
  };
  shapetest::Context ctx;
  sShapeItemNode* root = make_parent(nullptr);
  sShapeItemNode* cursor = root;
  for (const auto& c : cases) make_value(&cursor, c.type, c.text, 99);
  ASSERT_EQ(shape_tree_normalise(ctx.conv.rep, ctx.conv.tokens, root), 1);
  sShapeItemNode* node = root->child;
  for (const auto& c : cases) {
    EXPECT_EQ(text_of(node), c.text);
    EXPECT_EQ(node->value, c.value) << std::string(c.text, c.text + wstr_len(c.text));
    node = node->next;
  }
  shape_tree_free(root);
}

TEST(ShapeTreeTest, TokenValuesGetTheirNameOrIdFromTheTokenTable) {
  shapetest::Context ctx{{u"Shape", 0x00010002u}, {u"Point", 0x00010003u}};
  sShapeItemNode* root = make_parent(nullptr);
  sShapeItemNode* cursor = root;
  sShapeItemNode* by_name = make_value(&cursor, SHN_TOKEN, u"POINT");
  sShapeItemNode* by_id = make_value(&cursor, SHN_TOKEN, nullptr, 0x00010002u);
  ASSERT_EQ(shape_tree_normalise(ctx.conv.rep, ctx.conv.tokens, root), 1);
  EXPECT_EQ(by_name->value, 0x00010003u);
  EXPECT_EQ(text_of(by_name), u"POINT");  // the text as read stays
  EXPECT_EQ(text_of(by_id), u"Shape");
  shape_tree_free(root);
}

TEST(ShapeTreeTest, TokenValueNamingNoTokenFailsNormalisation) {
  shapetest::Context ctx{{u"Shape", 0x00010002u}};
  for (bool with_text : {true, false}) {
    sShapeItemNode* root = make_parent(nullptr);
    sShapeItemNode* cursor = root;
    make_value(&cursor, SHN_TOKEN, with_text ? u"Unknown" : nullptr, 0x00990001u);
    EXPECT_EQ(shape_tree_normalise(ctx.conv.rep, ctx.conv.tokens, root), 0);
    shape_tree_free(root);
  }
  EXPECT_NE(ctx.debug.joined().find("Token value Unknown names no token definition [ShpFile 1790]"), std::string::npos);
  EXPECT_NE(ctx.debug.joined().find("Token value 00990001 is no token id [ShpFile 1796]"), std::string::npos);
}

TEST(ShapeTreeTest, FormatValueGivesTheTextFormOfNumbersOnly) {
  sShapeItemNode* node = make_value(nullptr, SHN_SINT, nullptr, static_cast<sUInt>(-12));
  char16_t* text = shape_node_format_value(node);
  EXPECT_EQ(std::u16string(text), u"-12");
  free_string(text);
  node->type = SHN_STRING;
  EXPECT_EQ(shape_node_format_value(node), nullptr);
  shape_tree_free(node);
}

TEST(ShapeTreeTest, ExhaustedMemoryFailsCreationAndNormalisation) {
  shapetest::Context ctx{{u"Five", 5}};
  sShapeItemNode* root = make_parent(nullptr);
  sShapeItemNode* cursor = root;
  vexlor_mem_fail_after(0);
  EXPECT_EQ(shape_node_create(&cursor), nullptr);
  EXPECT_EQ(root->child, nullptr);
  make_value(&cursor, SHN_TOKEN, nullptr, 5);
  vexlor_mem_fail_after(0);
  EXPECT_EQ(shape_tree_normalise(ctx.conv.rep, ctx.conv.tokens, root), 0);
  vexlor_mem_fail_after(-1);
  shape_tree_free(root);

  // An arena takes memory a slab at a time: only the first node waits for one.
  sShapeArena* arena = shape_arena_create();
  ASSERT_NE(arena, nullptr);
  vexlor_mem_fail_after(0);
  EXPECT_EQ(shape_node_create(nullptr, arena), nullptr);
  EXPECT_NE(shape_node_create(nullptr, arena), nullptr);
  vexlor_mem_fail_after(0);
  EXPECT_NE(shape_node_create(nullptr, arena), nullptr);
  vexlor_mem_fail_after(-1);
  shape_arena_release(arena);
}

// Nodes of an arena live in its slabs: an undone attempt gives its memory
// back for the next one, and only the arena's release frees them (what is
// not the arena's is freed by the walk before it).
TEST(ShapeTreeTest, ArenaNodesAreReusedAfterUndoAndReleasedWithTheArena) {
  shapetest::Context ctx;
  sShapeArena* arena = shape_arena_create();
  ASSERT_NE(arena, nullptr);
  sShapeItemNode* root = make_parent(nullptr, arena);
  sShapeItemNode* cursor = root;
  sShapeMark mark = shape_tree_mark(cursor, arena);
  sShapeItemNode* tried = make_value(&cursor, SHN_STRING, u"tried", 0, arena);
  make_value(&cursor, SHN_STRING, u"and given up", 0, arena);
  shape_tree_undo(&cursor, mark, arena);
  EXPECT_EQ(root->child, nullptr);
  sShapeItemNode* kept = make_value(&cursor, SHN_STRING, u"kept", 0, arena);
  EXPECT_EQ(kept, tried);  // the same memory, taken again
  EXPECT_EQ(text_of(root->child), u"kept");

  // Larger than a slab: a slab of its own, and the stack goes on after it.
  std::u16string long_text(100000, u'x');
  sShapeItemNode* large = make_value(&cursor, SHN_STRING, long_text.c_str(), 0, arena);
  sShapeItemNode* after = make_value(&cursor, SHN_UINT, nullptr, 7, arena);
  ASSERT_EQ(shape_tree_normalise(ctx.conv.rep, ctx.conv.tokens, root, arena), 1);
  EXPECT_EQ(text_of(large), long_text);
  EXPECT_EQ(after->value, 7u);

  // A text inside the block the arena adopted stays where it is; any other
  // is copied.
  auto* block = static_cast<char16_t*>(std::malloc(8 * sizeof(char16_t)));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, u"in\0out\0", 8 * sizeof(char16_t));
  shape_arena_adopt(arena, block, 8 * sizeof(char16_t));
  sShapeItemNode* placed = shape_node_create_placed(&cursor, block, 2, arena);
  sShapeItemNode* copied = shape_node_create_placed(&cursor, u"elsewhere", 9, arena);
  EXPECT_EQ(placed->text, block);
  EXPECT_EQ(text_of(copied), u"elsewhere");

  // A text set as a separate string is still freed (a leak check would see
  // it otherwise), and so is a heap node linked in after the read.
  kept->text = alloc_string(u"replaced", 0);
  make_value(&cursor, SHN_STRING, u"heap");
  auto* file = static_cast<sShapeFile*>(vexlor_mem_alloc_fixed(sizeof(sShapeFile)));
  ASSERT_NE(file, nullptr);
  std::memset(file, 0, sizeof *file);
  file->first = root;
  file->arena = arena;
  free_shape_file(file);
}

}  // namespace
