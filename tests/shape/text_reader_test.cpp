#include "shape/text_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "shape/shape_test_support.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"

namespace {

std::string narrow(const char16_t* text) { return text != nullptr ? vxtest::narrow(text) : std::string("<null>"); }

// A compact picture of a tree: parents in braces, strings quoted, values
// with a type prefix, literals bare.
std::string dump(const sShapeItemNode* node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    if (!out.empty()) out += ' ';
    static const char* const kPrefix[] = {"", "", "i:", "u:", "x:", "b:", "f:", "t:"};
    if (node->type == SHN_PARENT) {
      out += '{' + dump(node->child) + '}';
    } else if (node->type == SHN_STRING) {
      out += '"' + narrow(node->text) + '"';
    } else if (node->type == SHN_TOKEN) {
      char id[16];
      std::snprintf(id, sizeof id, "=%x", node->value);
      out += "t:" + narrow(node->text) + id;
    } else if (node->type >= SHN_SINT && node->type <= SHN_FLOAT) {
      // A number keeps its value, written as the text form writes it.
      char16_t text[kValueTextUnits];
      text[shape_format_number(node->type, node->value, text)] = 0;
      out += kPrefix[node->type] + narrow(text);
    } else if (node->type < SHN_PARENT) {
      out += kPrefix[node->type] + narrow(node->text);
    } else {
      out += "?";
    }
  }
  return out;
}

struct Case {
  const char16_t* text;
  const char* tree;
};

class TextReaderTest : public ::testing::Test {
 protected:
  void load(const std::u16string& rules) {
    table_ = shapetest::load_grammar(ctx_, dir_.str("test.bnf"), rules);
    ASSERT_NE(table_, nullptr) << vxtest::narrow(rules);
  }

  // Opens the tokenizer on a body file holding `text`.
  void open_body(const std::u16string& text) {
    // A stream needs 34 bytes at least (the length of the longer container header).
    vxtest::write_file(dir_.str("body.txt"), vxtest::utf16le(text + u"\n" + std::u16string(20, u' ')));
    ASSERT_EQ(tokenizer_open_file(tz_, ctx_.conv.rep, vxtest::u16(dir_.str("body.txt")).c_str()), 1);
  }

  // Matches `text` against the root rule. The picture of the tree, or
  // "FAIL" when it does not match.
  std::string read(const std::u16string& text) {
    open_body(text);
    sShapeItemNode* root = shape_node_create(nullptr);
    root->type = SHN_PARENT;
    sBNFSubtoken entry{table_->root_token, nullptr};
    sShapeItemNode* cursor = root;
    resolved_ = -1;
    const int matched = match_text(ctx_.conv, tz_, nullptr, &entry, &cursor, &resolved_);
    tokenizer_close(tz_);
    std::string picture = matched ? dump(root->child) : "FAIL";
    if (!matched) {
      EXPECT_EQ(root->child, nullptr) << "a failed match leaves nothing behind";
    }
    EXPECT_EQ(root->next, nullptr);
    shape_tree_free(root);
    return picture;
  }

  void expect_reads(std::initializer_list<Case> cases) {
    for (const auto& c : cases) EXPECT_EQ(read(c.text), c.tree) << vxtest::narrow(c.text);
  }

  shapetest::Context ctx_{{u"Shape", 0x00010002u}, {u"A", 0x00010003u}, {u"B", 0x00010004u}, {u"Deep", 0x00010005u}};
  vxtest::TempDir dir_;
  shapetest::OwnedGrammar table_;
  std::unique_ptr<sTokenizer> tz_owner_ = std::make_unique<sTokenizer>();
  sTokenizer& tz_ = *tz_owner_;
  int resolved_ = -1;
};

#define EXPECT_READS(...) expect_reads({__VA_ARGS__})

TEST_F(TextReaderTest, BlocksWithAndWithoutName) {
  load(u"FILE = { :Shape } .\nShape ==> :uint :uint .");
  EXPECT_READS({u"Shape ( 1 2 )", "{Shape ( u:1 u:2 )}"},
               {u"Shape Label ( 1 2 )", "{Shape \"Label\" ( u:1 u:2 )}"},
               {u"Shape \"two words\" (1 2) Shape(3 4)", "{Shape \"two words\" ( u:1 u:2 )} {Shape ( u:3 u:4 )}"},
               {u"Shape \"(\" ( 1 2 )", "{Shape \"(\" ( u:1 u:2 )}"},  // a quoted "(" is a block name
               {u"Shape \"(\" 1 2 )", "FAIL"},
               {u"Shape ( 1 2 ) ) trailing words", "{Shape ( u:1 u:2 )}"},
               {u"shape ( 1 2 )", "FAIL"},  // the token name is matched exactly
               {u"Shape [ 1 2 )", "FAIL"},  // "[" is no block name and no "("
               {u"Shape ( 1 )", "FAIL"},
               {u"Shape ( 1 2", "FAIL"},
               {u"Shape", "FAIL"},
               {u"", "FAIL"});
}

TEST_F(TextReaderTest, LiteralsAndStringsMatchByText) {
  load(u"FILE = on :string :string .");
  EXPECT_READS({u"on ) (", "on \")\" \"(\""},
               {u"on \"\" x", "on \"\" \"x\""},
               {u"On a b", "FAIL"},
               {u"\"on\" a b", "on \"a\" \"b\""});
}

TEST_F(TextReaderTest, QuotedBracketMatchesTheBracketLiteral) {
  load(u"FILE = \"(\" :uint \")\" .");
  EXPECT_READS({u"( 5 )", "( u:5 )"}, {u"\"(\" 5 \")\"", "( u:5 )"}, {u"[ 5 ]", "FAIL"});
}

TEST_F(TextReaderTest, TerminalsAcceptTheirTextForms) {
  struct TypeCase {
    const char16_t* type;
    std::initializer_list<Case> cases;
  } types[] = {
      {u":sint", {{u"-3", "i:-3"}, {u"-", "i:0"}, {u"\"\"", "i:0"}, {u"007", "i:7"}, {u"+7", "FAIL"}, {u"1F", "FAIL"}}},
      {u":uint", {{u"12", "u:12"}, {u"-1", "FAIL"}, {u"1.0", "FAIL"}}},
      {u":dword", {{u"1F", "x:0000001f"}, {u"ff00ff00ff", "x:00ff00ff"}, {u"0x1F", "FAIL"}, {u"g", "FAIL"}}},
      {u":byte", {{u"1ff", "b:ff"}, {u"\"\"", "b:00"}, {u"-1", "FAIL"}}},
      {u":float",
       {{u"1.5", "f:1.5"}, {u"1e3", "f:1000"}, {u"2.5x", "f:2.5"}, {u"\"\"", "f:0"}, {u"x1", "FAIL"}, {u"-", "FAIL"}}},
      {u":token",
       {{u"Shape", "t:Shape=10002"},
        {u"abcdefghijklmnopqrstuvwxyz_12345", "t:abcdefghijklmnopqrstuvwxyz_12345=0"},
        {u"abcdefghijklmnopqrstuvwxyz_123456", "FAIL"},
        {u"1abc", "FAIL"}}},
  };
  for (const auto& t : types) {
    load(u"FILE = " + std::u16string(t.type) + u" .");
    for (const auto& c : t.cases) EXPECT_EQ(read(c.text), c.tree) << vxtest::narrow(t.type) << " " << vxtest::narrow(c.text);
  }
}

// A token value takes the id its name has (without case); one without a
// definition is left for normalising, which reports it.
TEST_F(TextReaderTest, TokenValuesTakeTheIdTheirNameHas) {
  load(u"FILE = { :token } .");
  EXPECT_EQ(read(u"shape DEEP"), "t:shape=10002 t:DEEP=10005");
  EXPECT_EQ(resolved_, 1);
  EXPECT_EQ(read(u"Shape Unknown"), "t:Shape=10002 t:Unknown=0");
  EXPECT_EQ(resolved_, 0);
}

TEST_F(TextReaderTest, OptionalPartThatFailsLeavesNothingBehind) {
  load(u"FILE = [ a :uint ] :string .");
  EXPECT_READS({u"a 1 x", "a u:1 \"x\""}, {u"a x", "\"a\""}, {u"x", "\"x\""});
}

TEST_F(TextReaderTest, RepetitionsTakeEveryCompleteIteration) {
  load(u"FILE = { :uint } .");
  EXPECT_READS({u"1", "u:1"}, {u"1 2 3", "u:1 u:2 u:3"}, {u"1 2 x", "u:1 u:2"}, {u"x", "FAIL"}, {u"", "FAIL"});
}

TEST_F(TextReaderTest, FirstMatchingAlternativeWins) {
  load(u"FILE = a | ( a b ) :string .");
  EXPECT_READS({u"a b", "a \"b\""}, {u"c", "FAIL"});
}

// An attempt that fails at a parent without children must take its first
// child away again, or the next alternative lands beside the parent.
TEST_F(TextReaderTest, AlternativeAfterFailedBlockAtChildlessParent) {
  load(u"FILE = { :A | :B } .\nA ==> :uint .\nB ==> :string .");
  EXPECT_READS({u"B ( x ) A ( 1 )", "{B ( \"x\" )} {A ( u:1 )}"}, {u"B ( x )", "{B ( \"x\" )}"});
  load(u"FILE = :ARRAY ( :A | :B ) .\nA ==> :uint .\nB ==> :string .");
  EXPECT_READS({u"B ( x ) A ( 2 )", "{{B ( \"x\" )} {A ( u:2 )}}"});
}

TEST_F(TextReaderTest, IterationThatFailsPartWayIsUndoneEntirely) {
  load(u"FILE = { :uint :string } :uint .");
  EXPECT_READS({u"1 a 2", "u:1 \"a\" u:2"}, {u"1 a 2 b 3", "u:1 \"a\" u:2 \"b\" u:3"});
  load(u"FILE = :ARRAY ( :uint :string ) :uint .");
  EXPECT_READS({u"1 a 2", "{u:1 \"a\"} u:2"});
}

TEST_F(TextReaderTest, IterationThatConsumesNothingEndsTheRepetition) {
  load(u"FILE = { [ :uint ] } :string .");
  EXPECT_READS({u"x", "\"x\""}, {u"1 2 x", "u:1 u:2 \"x\""});
  load(u"FILE = :ARRAY ( [ :uint ] ) :string .");
  // An array that took nothing leaves no parent behind to adopt the next node.
  EXPECT_READS({u"x", "\"x\""}, {u"1 x", "{u:1} \"x\""});
}

TEST_F(TextReaderTest, NodesKeepTheirGrammarEntries) {
  load(u"FILE = :Shape .\nShape ==> :uint .");
  open_body(u"Shape Label ( 7 )");
  sShapeItemNode* root = shape_node_create(nullptr);
  root->type = SHN_PARENT;
  sBNFSubtoken entry{table_->root_token, nullptr};
  sShapeItemNode* cursor = root;
  ASSERT_EQ(match_text(ctx_.conv, tz_, nullptr, &entry, &cursor, nullptr), 1);
  const sShapeItemNode* block = root->child;
  const sBNFSubtoken* block_entry = &table_->root_token->subtokens[0];
  EXPECT_EQ(block->bnf_entry, block_entry);
  EXPECT_EQ(block->child->bnf_entry, block_entry);      // token name
  EXPECT_EQ(block->child->next->bnf_entry, nullptr);    // block name
  EXPECT_EQ(block->child->next->next->bnf_entry, nullptr);  // "("
  const sShapeItemNode* value = block->child->next->next->next;
  EXPECT_EQ(value->bnf_entry, &block_entry->def->subtokens[0]);
  EXPECT_EQ(value->type, SHN_UINT);
  EXPECT_EQ(value->value, 7u);
  EXPECT_EQ(cursor, block);
  shape_tree_free(root);
}

TEST_F(TextReaderTest, ErrorPositionIsTheLineOfTheLastTokenExamined) {
  load(u"FILE = { :Shape } .\nShape ==> :uint :uint .");
  EXPECT_EQ(read(u"Shape (\n 1\n 2\n )\nShape (\n 3\n x )"), "{Shape ( u:1 u:2 )}");
  EXPECT_EQ(ctx_.conv.error_position, 7u);
  EXPECT_EQ(read(u"Shape (\n 1\n x )"), "FAIL");
  EXPECT_EQ(ctx_.conv.error_position, 3u);
}

TEST_F(TextReaderTest, NestingBeyondTheLimitFailsInsteadOfOverflowing) {
  load(u"FILE = :Deep .\nDeep ==> [ :Deep ] .");
  auto nested = [](int levels) {
    std::u16string text;
    for (int i = 0; i < levels; ++i) text += u"Deep ( ";
    for (int i = 0; i < levels; ++i) text += u") ";
    return text;
  };
  EXPECT_EQ(read(nested(3)), "{Deep ( {Deep ( {Deep ( )} )} )}");
  EXPECT_NE(read(nested(500)), "FAIL");
  EXPECT_EQ(read(nested(100000)), "FAIL");
  EXPECT_NE(ctx_.debug.joined().find("Text nested deeper than 2000 grammar levels [ShpFile 1462]"), std::string::npos);
}

TEST_F(TextReaderTest, ExponentialBacktrackingFailsTheReadInsteadOfRunningForDays) {
  // Each rule tries the next one twice: 2^levels attempts before the z.
  auto doubling = [](int levels) {
    std::ostringstream rules;
    rules << "FILE = :R0 z .\n";
    for (int i = 0; i < levels; ++i) rules << 'R' << i << " = [ :R" << i + 1 << " ] [ :R" << i + 1 << " ] .\n";
    rules << 'R' << levels << " = [ y ] .";
    return vxtest::u16(rules.str());
  };
  load(doubling(8));
  EXPECT_EQ(read(u"z"), "z");
  load(doubling(40));
  EXPECT_EQ(read(u"z"), "FAIL");
  EXPECT_NE(ctx_.debug.joined().find("Too many attempts to match the text [ShpFile 1464]"), std::string::npos);
}

TEST_F(TextReaderTest, EntriesWithoutDefinitionOrCursorAreReportedAndFail) {
  shapetest::Grammar grammar;
  sBNFTokenDef* rule = grammar.def(BNFT_RULEDEF, u"FILE", {nullptr});
  open_body(u"x");
  sShapeItemNode* root = shape_node_create(nullptr);
  sShapeItemNode* cursor = root;
  EXPECT_EQ(match_text(ctx_.conv, tz_, nullptr, grammar.entry(rule), &cursor, nullptr), 0);
  EXPECT_NE(ctx_.debug.joined().find("NULL sBNFTokenDef pointer [ShpFile 1450]"), std::string::npos);
  sShapeItemNode* none = nullptr;
  EXPECT_EQ(match_text(ctx_.conv, tz_, nullptr, grammar.entry(rule), &none, nullptr), 0);
  EXPECT_NE(ctx_.debug.joined().find("NULL previous item reference [ShpFile 1456]"), std::string::npos);
  shape_tree_free(root);
}

}  // namespace

namespace {

std::string joined(const std::vector<std::u16string>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += ", ";
    out += vxtest::narrow(item.c_str());
  }
  return out;
}

}  // namespace

// A failed read names the furthest token any attempt reached, even when
// backtracking gave it up, with what was refused there: in grammar order,
// each once, five at most.
TEST_F(TextReaderTest, FailedReadNamesTheFurthestPointAndWhatWasRefusedThere) {
  load(u"FILE = one { :A | :B | w1 | w1 | w2 | w3 } end .\nA ==> :uint .\nB ==> :string .");
  ASSERT_EQ(read(u"one\n\tA ( 1 ) zzz"), "FAIL");
  const sReadDiagnosis& d = ctx_.conv.diagnosis;
  EXPECT_EQ(d.failure, sReadFailure::kMismatch);
  EXPECT_EQ(d.line, 2u);
  EXPECT_EQ(d.column, 10u);  // the TAB counts as one
  EXPECT_EQ(joined(d.expected), "'A', 'B', 'w1', 'w2', 'w3'");  // 'end' would be the sixth
  EXPECT_EQ(vxtest::narrow(d.found.c_str()), "'zzz'");
  EXPECT_EQ(vxtest::narrow(d.source_line.c_str()), "\tA ( 1 ) zzz");
  EXPECT_EQ(d.caret, 9u);

  ASSERT_EQ(read(u"one A ( x ) end"), "FAIL");
  EXPECT_EQ(joined(ctx_.conv.diagnosis.expected), "an unsigned number");
  EXPECT_EQ(vxtest::narrow(ctx_.conv.diagnosis.found.c_str()), "'x'");
  EXPECT_EQ(ctx_.conv.diagnosis.column, 9u);

  ASSERT_EQ(read(u"one A"), "FAIL");
  EXPECT_EQ(joined(ctx_.conv.diagnosis.expected), "a block name, '('");
  EXPECT_EQ(vxtest::narrow(ctx_.conv.diagnosis.found.c_str()), "end of file");
  EXPECT_EQ(ctx_.conv.diagnosis.column, 6u);  // behind the last token
}

// Columns count code points; a found text is cut after 40 of them.
TEST_F(TextReaderTest, ColumnsCountCodePointsAndLongFoundTextsAreCut) {
  load(u"FILE = :string :uint .");
  ASSERT_EQ(read(u"\"\U0001F600\u00e9\" " + std::u16string(45, u'x')), "FAIL");
  const sReadDiagnosis& d = ctx_.conv.diagnosis;
  EXPECT_EQ(d.column, 6u);
  EXPECT_EQ(d.found, u"'" + std::u16string(40, u'x') + u"...'");
}
