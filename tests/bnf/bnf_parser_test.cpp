#include "bnf/bnf_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bnf/tokenizer.h"
#include "grammar_fixture.h"
#include "support/alloc_hook.h"

namespace {

using bnftest::kHeader;

std::u16string text_of(const sBNFTokenDef* def) { return def != nullptr && def->text ? def->text : u"(none)"; }

std::vector<sBNFTokenDef*> chain(const sBNFChain& c) {
  std::vector<sBNFTokenDef*> out;
  for (sBNFTokenDef* d = c.head; d != nullptr; d = d->next) out.push_back(d);
  return out;
}

class BnfParserTest : public bnftest::GrammarTest {
 protected:
  void TearDown() override {
    destroy_bnf_table(table_);
    GrammarTest::TearDown();
  }

  // Parses kHeader + body (unless `raw`); the table is freed by TearDown.
  sBNFTable* parse(const std::u16string& body, bool raw = false, bool bom = false) {
    destroy_bnf_table(table_);
    std::u16string path = bnftest::write_grammar(dir_, "grammar.bnf", raw ? body : kHeader + body, bom);
    table_ = parse_file(path);
    return table_;
  }
  // Parses `path` with the fixture's tokenizer, reporter and tokens.
  sBNFTable* parse_file(const std::u16string& path) {
    sBNFTable* t = parse_bnf_file(*tz_, debug_.rep(), tokens_, path.c_str());
    EXPECT_FALSE(tokenizer_is_open(*tz_));
    EXPECT_EQ(debug_.rep().definition_file, nullptr);
    return t;
  }
  sUInt error_line() const { return get_error_position(*tz_); }

  sBNFTokenDef* rule(const char16_t* name) { return find_bnf_def(debug_.rep(), table_, name, BNF_CHAIN_DEFS); }

  sBNFTable* table_ = nullptr;
};

TEST_F(BnfParserTest, MinimalGrammarHasPredefinedTypesThenRules) {
  for (bool bom : {false, true}) {
    ASSERT_NE(parse(kHeader + u"FILE = .\nEOF\n", true, bom), nullptr);
    EXPECT_EQ(table_->file_type, 0x77);
    EXPECT_EQ(table_->file_type_ver, 0x31);
    EXPECT_EQ(std::u16string(table_->name), u"grammar.bnf");
    EXPECT_EQ(table_->references, nullptr);
    std::vector<sBNFTokenDef*> defs = chain(table_->defs);
    ASSERT_EQ(defs.size(), 8u);
    const std::pair<sUInt, std::u16string> predef[] = {{BNFT_STRING, u"string"}, {BNFT_SINT, u"sint"},
                                                       {BNFT_UINT, u"uint"},     {BNFT_DWORD, u"dword"},
                                                       {BNFT_BYTE, u"byte"},     {BNFT_FLOAT, u"float"},
                                                       {BNFT_TOKEN, u"token"}};
    for (int i = 0; i < 7; ++i) {
      EXPECT_EQ(defs[i]->type, predef[i].first);
      EXPECT_EQ(text_of(defs[i]), predef[i].second);
      EXPECT_EQ(defs[i]->subtoken_count, 0u);
    }
    EXPECT_EQ(defs[7], table_->root_token);
    EXPECT_EQ(table_->root_token->type, BNFT_RULEDEF);
    EXPECT_EQ(table_->root_token->subtoken_count, 0u);
    EXPECT_EQ(table_->root_token->subtokens, nullptr);
  }
}

TEST_F(BnfParserTest, LiteralsAreSharedWithoutCase) {
  ASSERT_NE(parse(u"FILE = x X \"x\" 12 y .\nEOF"), nullptr);
  sBNFTokenDef* root = table_->root_token;
  ASSERT_EQ(root->subtoken_count, 5u);
  EXPECT_EQ(root->subtokens[0].def, root->subtokens[1].def);
  EXPECT_EQ(root->subtokens[0].def, root->subtokens[2].def);
  std::vector<sBNFTokenDef*> literals = chain(table_->literals);
  ASSERT_EQ(literals.size(), 3u);
  EXPECT_EQ(text_of(literals[0]), u"x");
  EXPECT_EQ(text_of(literals[1]), u"12");
  EXPECT_EQ(text_of(literals[2]), u"y");
  for (sBNFTokenDef* lit : literals) EXPECT_EQ(lit->type, BNFT_LITERAL);
}

TEST_F(BnfParserTest, ReferencesResolveForwardAndToPredefinedTypes) {
  ASSERT_NE(parse(u"FILE = :Thing :Float :thing,first .\nthing = :uint .\nEOF"), nullptr);
  sBNFTokenDef* root = table_->root_token;
  sBNFTokenDef* thing = rule(u"THING");
  ASSERT_NE(thing, nullptr);
  ASSERT_EQ(root->subtoken_count, 3u);
  EXPECT_EQ(root->subtokens[0].def, thing);
  EXPECT_EQ(root->subtokens[1].def, rule(u"float"));
  EXPECT_EQ(root->subtokens[2].def, thing);
  EXPECT_EQ(std::u16string(root->subtokens[2].label), u"first");
  EXPECT_EQ(root->subtokens[0].label, nullptr);
  EXPECT_EQ(thing->subtokens[0].def->type, BNFT_UINT);
  // A rule may refer to itself.
  ASSERT_NE(parse(u"FILE = [ :FILE ] .\n"), nullptr);
  EXPECT_EQ(table_->root_token->subtokens[0].def->subtokens[0].def, table_->root_token);
}

TEST_F(BnfParserTest, TokenRulesNeedAKnownTokenName) {
  ASSERT_NE(parse(u"FILE = :SHAPE .\nshape ==> :item .\nITEM ==> a .\nEOF"), nullptr);
  EXPECT_EQ(rule(u"shape")->type, BNFT_TOKENDEF);
  EXPECT_EQ(rule(u"item")->type, BNFT_TOKENDEF);
  EXPECT_EQ(parse(u"FILE = a .\nunknown ==> b .\nEOF"), nullptr);
  EXPECT_EQ(error_line(), 4u);
}

TEST_F(BnfParserTest, FileTypeValues) {
  struct Case {
    std::u16string value;
    int expected;  // -1: the file fails
  } cases[] = {
      {u"0x41", 0x41}, {u"65", 0x41},  {u"\"A\"", 0x41}, {u"0X41", 0x41}, {u"65abc", 0x41}, {u"+65", 0x41},
      {u"255", 255},   {u"1", 1},      {u"0", -1},       {u"256", -1},    {u"-5", -1},     {u"\"ab\"", -1},
      {u"\"\"", -1},   {u"0x", -1},    {u"0x100", -1},   {u".", -1},      {u"abc", -1},    {u"( 1 )", -1},
      {u"99999999999", -1},
  };
  for (const auto& c : cases) {
    sBNFTable* t = parse(u"FILE_TYPE = " + c.value + u" .\nFILE_TYPE_VER = 1 .\nFILE = .\n", true);
    if (c.expected < 0) {
      EXPECT_EQ(t, nullptr) << vxtest::narrow(c.value);
      EXPECT_EQ(error_line(), 1u);
    } else {
      ASSERT_NE(t, nullptr) << vxtest::narrow(c.value);
      EXPECT_EQ(t->file_type, c.expected) << vxtest::narrow(c.value);
    }
  }
  // A later statement overrides; a missing full stop fails.
  ASSERT_NE(parse(kHeader + u"FILE_TYPE = 0x42 .\nFILE = .", true), nullptr);
  EXPECT_EQ(table_->file_type, 0x42);
  EXPECT_EQ(parse(u"FILE_TYPE = \"w\"\nFILE_TYPE_VER = 1 .\nFILE = .\n", true), nullptr);
  EXPECT_EQ(parse(u"FILE_TYPE = 1 .\nFILE = .\n", true), nullptr);
  EXPECT_EQ(parse(u"FILE_TYPE_VER = 1 .\nFILE = .\n", true), nullptr);
}

TEST_F(BnfParserTest, NamesMustBeNewAndFileIsTheExactRoot) {
  EXPECT_EQ(parse(u"FILE = .\nfloat = a .\n"), nullptr);
  EXPECT_EQ(error_line(), 4u);
  EXPECT_EQ(parse(u"FILE = .\nItem = a .\nitem = b .\n"), nullptr);
  EXPECT_EQ(error_line(), 5u);
  EXPECT_EQ(parse(u"file = a .\n"), nullptr);
  // Text after EOF is never read; a lower-case eof is a rule name.
  EXPECT_NE(parse(u"FILE = .\nEOF ( ] \"unterminated"), nullptr);
  EXPECT_EQ(parse(u"FILE = .\neof\n"), nullptr);
}

TEST_F(BnfParserTest, BarBindsTheSingleItemsAroundIt) {
  ASSERT_NE(parse(u"X = a b | c d .\nFILE = :X .\nEOF"), nullptr);
  sBNFTokenDef* x = rule(u"X");
  ASSERT_EQ(x->subtoken_count, 3u);
  EXPECT_EQ(text_of(x->subtokens[0].def), u"a");
  sBNFTokenDef* choice = x->subtokens[1].def;
  ASSERT_EQ(choice->type, BNFT_CON_CHOICE);
  ASSERT_EQ(choice->subtoken_count, 2u);
  EXPECT_EQ(text_of(choice->subtokens[0].def), u"b");
  EXPECT_EQ(text_of(choice->subtokens[1].def), u"c");
  EXPECT_EQ(text_of(x->subtokens[2].def), u"d");

  ASSERT_NE(parse(u"FILE = a | ( b c ) | :uint .\nEOF"), nullptr);
  sBNFTokenDef* alt = table_->root_token->subtokens[0].def;
  ASSERT_EQ(table_->root_token->subtoken_count, 1u);
  ASSERT_EQ(alt->subtoken_count, 3u);
  EXPECT_EQ(alt->subtokens[1].def->type, BNFT_CON_GROUP);
  EXPECT_EQ(alt->subtokens[1].def->subtoken_count, 2u);
  EXPECT_EQ(alt->subtokens[2].def->type, BNFT_UINT);
}

TEST_F(BnfParserTest, BracketsSetTheKindAndNeedNotPair) {
  ASSERT_NE(parse(u"FILE = ( a ] [ b ) { c } ( ) :ARRAY { :uint ] .\n"), nullptr);
  sBNFTokenDef* root = table_->root_token;
  ASSERT_EQ(root->subtoken_count, 5u);
  const sUInt kinds[] = {BNFT_CON_GROUP, BNFT_CON_OPTIONAL, BNFT_CON_REPEAT, BNFT_CON_GROUP, BNFT_CON_ARRAY};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(root->subtokens[i].def->type, kinds[i]);
  EXPECT_EQ(root->subtokens[3].def->subtoken_count, 0u);
  EXPECT_EQ(root->subtokens[4].def->subtokens[0].def->type, BNFT_UINT);
}

TEST_F(BnfParserTest, BarAfterAConstructLeavesAnEntryEmpty) {
  debug_.clear();
  ASSERT_NE(parse(u"X = ( a ) | b .\nFILE = .\nEOF"), nullptr);
  sBNFTokenDef* x = rule(u"X");
  ASSERT_EQ(x->subtoken_count, 3u);
  EXPECT_EQ(x->subtokens[0].def->type, BNFT_CON_GROUP);
  EXPECT_EQ(text_of(x->subtokens[1].def), u"b");
  EXPECT_EQ(x->subtokens[2].def, nullptr);
  EXPECT_NE(debug_.joined().find("subitem ptr array not fully populated [BNFParse "), std::string::npos);
}

TEST_F(BnfParserTest, MissingFullStopRunsIntoTheNextStatement) {
  ASSERT_NE(parse(u"A = x\nB = y .\nFILE = .\nEOF"), nullptr);
  sBNFTokenDef* a = rule(u"A");
  ASSERT_EQ(a->subtoken_count, 4u);
  const char16_t* texts[] = {u"x", u"B", u"=", u"y"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(text_of(a->subtokens[i].def), texts[i]);
  EXPECT_EQ(rule(u"B"), nullptr);
  EXPECT_EQ(parse(u"A = x\nitem ==> y .\nFILE = .\nEOF"), nullptr);
}

TEST_F(BnfParserTest, UnresolvedReferenceReportsTheNewestLine) {
  std::u16string body = u"FILE = .\n";
  for (int line = 4; line <= 25; ++line) {
    body += line == 10 ? u"A = :missing1 .\n" : line == 20 ? u"B = :missing2 .\n" : u"// filler\n";
  }
  EXPECT_EQ(parse(body), nullptr);
  EXPECT_EQ(error_line(), 20u);
}

TEST_F(BnfParserTest, IndexNamesAnEarlierLabel) {
  ASSERT_NE(parse(u"FILE = :item .\nitem ==> :float :float :ARRAY ( :uint ) ,values :INDEX ( values ) ,idx .\nEOF"),
            nullptr);
  sBNFTokenDef* item = rule(u"item");
  ASSERT_EQ(item->subtoken_count, 4u);
  EXPECT_EQ(item->subtokens[0].def->type, BNFT_FLOAT);
  sBNFSubtoken& array = item->subtokens[2];
  EXPECT_EQ(array.def->type, BNFT_CON_ARRAY);
  EXPECT_EQ(array.def->subtoken_count, 1u);
  EXPECT_EQ(array.def->subtokens[0].def->type, BNFT_UINT);
  EXPECT_EQ(std::u16string(array.label), u"values");
  sBNFTokenDef* index = item->subtokens[3].def;
  EXPECT_EQ(index->type, BNFT_SINT);
  EXPECT_EQ(index->text, nullptr);
  EXPECT_EQ(index->index_ref, &array);
  EXPECT_EQ(std::u16string(item->subtokens[3].label), u"idx");
  EXPECT_EQ(find_bnf_label(table_, u"values"), &array);
  EXPECT_EQ(find_bnf_label(table_, u"VALUES"), nullptr);

  EXPECT_EQ(parse(u"FILE = :INDEX ( v ) :uint,v .\n"), nullptr);
  EXPECT_EQ(parse(u"FILE = :uint,v :INDEX [ v ] .\n"), nullptr);
  EXPECT_EQ(parse(u"FILE = :uint,v :INDEX ( v .\n"), nullptr);
}

TEST_F(BnfParserTest, MalformedBodiesFailWithTheirLine) {
  struct Case {
    std::u16string body;
    sUInt line;
  } cases[] = {
      {u"FILE = :ARRAY ( ) .\n", 3},
      {u"FILE = :ARRAY ( :uint ) ,1abc .\n", 3},
      {u"FILE = :uint,1x .\n", 3},
      {u"FILE = :uint,has-dash .\n", 3},
      {u"FILE = a\n)\n.\n", 4},
      {u"FILE = ( a\n.\n", 3},
      {u"FILE = a | ) .\n", 3},
      {u"FILE = a\nb", 3},  // the preview fails before b is examined
      {u"FILE = ( | x ) .\n", 3},
      {u"FILE\n", 3},
      {u"FILE x .\n", 3},
      {u"FILE = :uint ,lbl .\n", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse(c.body), nullptr) << vxtest::narrow(c.body);
    EXPECT_EQ(error_line(), c.line) << vxtest::narrow(c.body);
  }
}

TEST_F(BnfParserTest, MissingRuleSeparatorIsReported) {
  debug_.clear();
  EXPECT_EQ(parse(u"FILE a .\n"), nullptr);
  EXPECT_NE(debug_.joined().find("Missing ==> [BNFParse "), std::string::npos);
}

TEST_F(BnfParserTest, EndOfInputAfterTheLastRule) {
  // The count reached before the end stands, so a last rule of several items
  // may end the file with its full stop.
  ASSERT_NE(parse(u"FILE = a b :uint ."), nullptr);
  EXPECT_EQ(table_->root_token->subtoken_count, 3u);
  for (int i = 0; i < 3; ++i) EXPECT_NE(table_->root_token->subtokens[i].def, nullptr);
  ASSERT_NE(parse(u"FILE ="), nullptr);
  EXPECT_EQ(table_->root_token->subtoken_count, 0u);
  EXPECT_EQ(parse(u"FILE = a b"), nullptr);
}

TEST_F(BnfParserTest, NestingIsLimited) {
  auto nested = [](sUInt depth) {
    return u"FILE = " + std::u16string(depth, u'(') + u" a " + std::u16string(depth, u')') + u" .\n";
  };
  ASSERT_NE(parse(nested(kBNFMaxNesting)), nullptr);
  sBNFTokenDef* d = table_->root_token;
  for (sUInt i = 0; i < kBNFMaxNesting; ++i) d = d->subtokens[0].def;
  EXPECT_EQ(text_of(d->subtokens[0].def), u"a");
  debug_.clear();
  EXPECT_EQ(parse(nested(kBNFMaxNesting + 1)), nullptr);
  EXPECT_NE(debug_.joined().find("nested too deeply"), std::string::npos);
  EXPECT_EQ(parse(u"FILE = " + std::u16string(20000, u'[') + u" .\n"), nullptr);
}

TEST_F(BnfParserTest, RefusesWhileTheTokenizerIsBusyAndShortFiles) {
  std::u16string path = bnftest::write_grammar(dir_, "ok.bnf", kHeader + u"FILE = .\n");
  ASSERT_TRUE(tokenizer_open_file(*tz_, debug_.rep(), path.c_str()));
  EXPECT_EQ(parse_bnf_file(*tz_, debug_.rep(), tokens_, path.c_str()), nullptr);
  EXPECT_TRUE(tokenizer_is_open(*tz_));  // not the parser's to close
  tokenizer_close(*tz_);
  for (const std::string& bytes : {std::string(), std::string("F")}) {
    vxtest::write_file(dir_.str("short.bnf"), bytes);
    EXPECT_EQ(parse_file(vxtest::u16(dir_.str("short.bnf"))), nullptr);
    EXPECT_EQ(error_line(), 0u);
  }
  EXPECT_EQ(parse_file(vxtest::u16(dir_.str("none.bnf"))), nullptr);
}

TEST_F(BnfParserTest, OutOfMemoryAnywhereFailsCleanly) {
  const std::u16string grammar =
      kHeader + u"FILE = :item { a | ( b \"c\" ) } [ :later,x ] .\n"
                u"item ==> :float :ARRAY ( :uint ) ,values :INDEX ( values ) ,idx .\n"
                u"later = \"" + std::u16string(100, u'q') + u"\" .\nEOF";
  std::u16string path = bnftest::write_grammar(dir_, "mem.bnf", grammar);
  int failures = 0;
  for (long k = 0;; ++k) {
    vexlor_mem_fail_after(k);
    sBNFTable* t = parse_file(path);
    vexlor_mem_fail_after(-1);
    if (t != nullptr) {
      destroy_bnf_table(t);
      break;
    }
    ++failures;
    ASSERT_LT(k, 2000);
  }
  EXPECT_GT(failures, 20);
}

TEST_F(BnfParserTest, RandomGrammarsEndWithoutHarm) {
  // Statements cut from the pieces of the grammar language in any order:
  // every one must load or fail, and a loaded table must be whole.
  const char16_t* pieces[] = {u"a",    u"B",   u":uint", u":x",   u":ARRAY", u":INDEX", u",l", u"(",   u")",
                              u"[",    u"]",   u"{",     u"}",    u"|",      u".",      u"=",   u"==>", u"FILE",
                              u"x",    u"EOF", u"1",     u"\"s\"", u":FILE", u"item",   u":item,l", u"l",
                              u"/*",   u"*/",  u"\n",    u"\"q\"+", u"FILE_TYPE"};
  std::mt19937 rng(7);
  int loaded = 0;
  for (int round = 0; round < 400; ++round) {
    std::u16string body = round % 2 ? u"FILE = " : u"x = ";
    int n = 1 + static_cast<int>(rng() % 24);
    for (int i = 0; i < n; ++i) body += std::u16string(pieces[rng() % std::size(pieces)]) + u" ";
    if (round % 3 == 0) body += u". FILE = :x .";
    sBNFTable* t = parse(body);
    if (t == nullptr) continue;
    ++loaded;
    EXPECT_EQ(t->references, nullptr);
    for (sBNFTokenDef* d = t->defs.head; d != nullptr; d = d->next) {
      for (sUInt i = 0; i < d->subtoken_count; ++i) {
        if (d->subtokens[i].def != nullptr) {
          EXPECT_LE(d->subtokens[i].def->type, sUInt{BNFT_TOKEN});
        }
      }
    }
  }
  EXPECT_GT(loaded, 10);
}

}  // namespace
