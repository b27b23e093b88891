#include "tables/stoken.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/alloc_hook.h"
#include "support/test_support.h"
#include "tables/sidn.h"

namespace {

using vxtest::u16;

constexpr const char* kSidn =
    "enum {\n"
    "  SIDN_CORE = 0x0002,\n"
    "  SIDN_APP = 0x0003,\n"
    "  SIDN_INC = 0x0007,\n"
    "  SIDN_WIDE = 0x12345,\n"
    "  SIDN_TOP = 0xFFFF,\n"
    "};\n";

class StokenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.chdir();
    write("sidn.txt", kSidn);
    ASSERT_EQ(tokutil_load_sidn_table(debug_.rep(), sidn_, u"sidn.txt"), 1);
  }
  void TearDown() override {
    vexlor_mem_fail_after(-1);
    tokutil_free_stoken_table(table_);
    tokutil_free_sidn_table(sidn_);
  }
  int load(const char16_t* core, const char16_t* app, const char16_t* base_dir = nullptr,
           const char16_t* fallback_dir = nullptr, std::vector<std::u16string>* opened = nullptr) {
    return tokutil_load_stoken_table(debug_.rep(), table_, sidn_, core, app, base_dir, fallback_dir, opened);
  }
  void write(const std::string& name, const std::string& content) { vxtest::write_file(dir_.path() / name, content); }

  // The loaded table as (name, id) pairs, up to the ending entry.
  std::vector<std::pair<std::string, sUInt>> entries() const {
    std::vector<std::pair<std::string, sUInt>> out;
    for (const sShapeTokenDef* def = table_.entries; def != nullptr && def->name != nullptr; ++def) {
      out.emplace_back(vxtest::narrow(def->name), def->id);
    }
    return out;
  }

  vxtest::TempDir dir_;
  vxtest::DebugCapture debug_;
  sSIDNTable* sidn_ = nullptr;
  sTokenTable table_;
};

using Entries = std::vector<std::pair<std::string, sUInt>>;

TEST_F(StokenTest, RangeStartSetsUpperHalfAndDefinitionsCountFromOne) {
  write("core.h",
        "#define SIDSTR_PREFIX SID_DECLARE_STR_PREFIX(CORE_)\n"
        "SID_DEFINE_FIRST_ID(SIDN_CORE)\n"
        "SIDDEF(SID_SHAPE, \"Shape\")\n"
        "  SIDDEF ( SID_POINT ,\"Point\" )\n"
        "SIDDEF(SID_LINE, \"Line\") // trailing comment\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  EXPECT_EQ(entries(), (Entries{{"Shape", 0x20001}, {"Point", 0x20002}, {"Line", 0x20003}}));
  EXPECT_EQ(table_.entries[3].name, nullptr);
}

TEST_F(StokenTest, ApplicationFileContinuesOrStartsItsOwnRange) {
  write("core.h", "SID_DEFINE_FIRST_ID(SIDN_CORE)\nSIDDEF(A, \"A\")\nSIDDEF(B, \"B\")\n");
  write("app_own.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\nSIDDEF(C, \"C\")\n");
  write("app_cont.h", "SIDDEF(C, \"C\")\n");

  ASSERT_EQ(load(u"core.h", u"app_own.h"), 1);
  EXPECT_EQ(entries(), (Entries{{"A", 0x20001}, {"B", 0x20002}, {"C", 0x30001}}));
  tokutil_free_stoken_table(table_);

  ASSERT_EQ(load(u"core.h", u"app_cont.h"), 1);
  EXPECT_EQ(entries(), (Entries{{"A", 0x20001}, {"B", 0x20002}, {"C", 0x20003}}));
  tokutil_free_stoken_table(table_);

  // An empty application name reads the core file only.
  ASSERT_EQ(load(u"core.h", u""), 1);
  EXPECT_EQ(entries(), (Entries{{"A", 0x20001}, {"B", 0x20002}}));
}

TEST_F(StokenTest, IncludedTokensStandAtTheIncludeAndShareTheRunningId) {
  write("core.h",
        "SID_DEFINE_FIRST_ID(SIDN_CORE)\n"
        "SIDDEF(A, \"A\")\n"
        "#include \"plain.h\"\n"
        "SIDDEF(C, \"C\")\n"
        "#include ranged.h\n"
        "SIDDEF(E, \"E\")\n");
  write("plain.h", "SIDDEF(B, \"B\")\n");
  write("ranged.h", "SID_DEFINE_FIRST_ID(SIDN_INC)\nSIDDEF(D, \"D\")\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  EXPECT_EQ(entries(),
            (Entries{{"A", 0x20001}, {"B", 0x20002}, {"C", 0x20003}, {"D", 0x70001}, {"E", 0x70002}}));
}

TEST_F(StokenTest, DefinitionsBeforeAnyRangeCountFromZero) {
  write("core.h", "SIDDEF(A, \"A\")\nSIDDEF(B, \"B\")\n");
  write("app.h", "SIDDEF(C, \"C\")\n");
  ASSERT_EQ(load(u"core.h", u"app.h"), 1);
  EXPECT_EQ(entries(), (Entries{{"A", 1}, {"B", 2}, {"C", 3}}));
}

TEST_F(StokenTest, WideSidnValueKeepsOnlyItsLow16Bits) {
  write("core.h", "SID_DEFINE_FIRST_ID(SIDN_WIDE)\nSIDDEF(A, \"A\")\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  EXPECT_EQ(entries(), (Entries{{"A", 0x23450001}}));
}

TEST_F(StokenTest, LineFormsAndWhatTheyTake) {
  write("core.h",
        "/* SIDDEF(IN_BLOCK, \"InBlock\") */\n"
        "// SIDDEF(HIDDEN, \"Hidden\")\n"
        "#define SID_COUNT 3\n"
        "#define SIDSTR_PREFIX SIDDEF(X, \"AfterDefine\")\n"
        "SIDDEF(TWO, \"two words\")\n"
        "SIDDEF(EMPTY, \"\")\n"
        "SIDDEF(SPACED, \"   Spaced\")\n"
        "#define SIDSTR_PREFIXSID_DECLARE_STR_PREFIX(Q_)\n"
        "SIDDEF(HIGH, \"N\xE9\")\n"
        "sidDEF(LOWER, \"Lower\")\n"
        "SID_DECLARE_STR_PREFIX(P_)\n" +
            std::string(250, ' ') + "SIDDEF(CUT, \"Cut\")\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  // The block comment line does not begin with a keyword; a line cut at
  // 255 bytes leaves "SIDDE" on the first piece and the rest on the next.
  EXPECT_EQ(entries(), (Entries{{"AfterDefine", 1},
                                {"two", 2},
                                {"", 3},
                                {"Spaced", 4},
                                {"N\xE9", 5}}));
  EXPECT_EQ(table_.entries[4].name[1], char16_t{0xFFE9});
}

TEST_F(StokenTest, FailingLinesFailTheLoad) {
  const struct {
    const char* what;
    std::string content;
  } cases[] = {
      {"undefined SIDN name", "SID_DEFINE_FIRST_ID(SIDN_NONE)\n"},
      {"SIDN lookup is exact", "SID_DEFINE_FIRST_ID(sidn_core)\n"},
      {"range start without (", "SID_DEFINE_FIRST_ID SIDN_CORE\n"},
      {"prefix without (", "SID_DECLARE_STR_PREFIX P_\n"},
      {"definition without (", "SIDDEF A, \"A\"\n"},
      {"definition without comma", "SIDDEF(A \"A\")\n"},
      {"definition without quote", "SIDDEF(A, A)\n"},
      {"include of a missing file", "#include \"missing.h\"\n"},
      {"include in angle brackets", "#include <core2.h>\n"},
  };
  write("core2.h", "");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write("core.h", "SIDDEF(OK, \"Ok\")\n" + c.content);
    EXPECT_EQ(load(u"core.h", nullptr), 0);
    EXPECT_EQ(table_.entries, nullptr);
  }
  EXPECT_EQ(load(u"missing.h", nullptr), 0);
  write("core.h", "SIDDEF(OK, \"Ok\")\n");
  EXPECT_EQ(load(u"core.h", u"missing.h"), 0);
  EXPECT_EQ(table_.entries, nullptr);
  EXPECT_EQ(load(u"", nullptr), 0);
  EXPECT_EQ(load(nullptr, u"core.h"), 0);
}

TEST_F(StokenTest, RunningIdMustNotReachAllOnes) {
  std::string body = "SID_DEFINE_FIRST_ID(SIDN_TOP)\n";
  for (int i = 0; i < 0xFFFE; ++i) body += "SIDDEF(T, \"T\")\n";
  write("core.h", body);
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  EXPECT_EQ(table_.entries[0xFFFD].id, 0xFFFFFFFEu);
  tokutil_free_stoken_table(table_);

  write("core.h", body + "SIDDEF(T, \"T\")\n");
  debug_.clear();
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  ASSERT_FALSE(debug_.lines().empty());
  EXPECT_EQ(debug_.lines()[0], ":\"core.h\" : \nFAILED: *kaldo_id != (sUInt)-1 [File: TokUtil Line: 274]");
}

// Writes f0.h ... f<n-1>.h, each including the next; the last defines a token.
void write_chain(const std::filesystem::path& dir, int n) {
  for (int i = 0; i < n; ++i) {
    std::string text = "SIDDEF(X, \"F";
    text += std::to_string(i);
    text += "\")\n";
    if (i + 1 < n) {
      text += "#include \"f";
      text += std::to_string(i + 1);
      text += ".h\"\n";
    } else {
      text += "SIDDEF(L, \"Leaf\")\n";
    }
    std::string name = "f";
    name += std::to_string(i);
    name += ".h";
    vxtest::write_file(dir / name, text);
  }
}

constexpr const char* kOuterReport =
    "\nFAILED: load_table_pass (fname, (load_pass == 0u ? NULL : &table), &kaldo_id, prefix_str, "
    "(load_pass == 0u ? &id_count : NULL), 0u) [File: TokUtil Line: 352]";
constexpr const char* kIncludeReport =
    "\nFAILED: load_table_pass (temp_str, entry, kaldo_id, prefix_str, id_count, depth + 1u) "
    "[File: TokUtil Line: 306]";

TEST_F(StokenTest, IncludeChainsReachEightFilesAndNoMore) {
  write_chain(dir_.path(), 8);
  ASSERT_EQ(load(u"f0.h", nullptr), 1);
  EXPECT_EQ(entries().size(), 9u);
  EXPECT_EQ(entries().back(), (std::pair<std::string, sUInt>{"Leaf", 9}));
  tokutil_free_stoken_table(table_);

  write_chain(dir_.path(), 9);
  debug_.clear();
  EXPECT_EQ(load(u"f0.h", nullptr), 0);
  EXPECT_EQ(table_.entries, nullptr);
  // The ninth level fails silently; each of the eight levels above reports
  // its include, then the load reports the named file.
  std::vector<std::string> expected(8, kIncludeReport);
  expected.push_back(kOuterReport);
  EXPECT_EQ(debug_.lines(), expected);
}

TEST_F(StokenTest, IncludeCyclesEndAtTheDepthLimit) {
  write("a.h", "SIDDEF(A, \"A\")\n#include \"b.h\"\n");
  write("b.h", "#include \"a.h\"\n");
  EXPECT_EQ(load(u"a.h", nullptr), 0);
  write("self.h", "#include \"self.h\"\n#include \"self.h\"\n");
  EXPECT_EQ(load(u"self.h", nullptr), 0);
  EXPECT_EQ(table_.entries, nullptr);
}

std::string repeated(const std::string& line, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += line;
  return out;
}

TEST_F(StokenTest, IncludeFanOutIsBounded) {
  write("empty.h", "");
  write("core.h", repeated("#include \"empty.h\"\n", 4095));
  EXPECT_EQ(load(u"core.h", nullptr), 1);
  tokutil_free_stoken_table(table_);

  write("core.h", repeated("#include \"empty.h\"\n", 4096));
  debug_.clear();
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  ASSERT_FALSE(debug_.lines().empty());
  EXPECT_EQ(debug_.lines()[0], ":\"empty.h\" : \nFAILED: ++files_read <= kMaxFilesPerPass [File: TokUtil Line: 231]");

  write("blank.h", std::string(4096, '\n'));
  write("core.h", repeated("#include \"blank.h\"\n", 1024));
  debug_.clear();
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  ASSERT_FALSE(debug_.lines().empty());
  EXPECT_EQ(debug_.lines()[0], ":\"blank.h\" : \nFAILED: ++lines_read <= kMaxLinesPerPass [File: TokUtil Line: 244]");
  EXPECT_EQ(table_.entries, nullptr);
}

TEST_F(StokenTest, FailureInsideAnIncludeReportsCauseThenEachLevel) {
  write("core.h", "SIDDEF(A, \"A\")\n#include \"mid.h\"\n");
  write("mid.h", "#include \"leaf.h\"\n");
  write("leaf.h", "SID_DEFINE_FIRST_ID(SIDN_NONE)\n");
  debug_.clear();
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  EXPECT_EQ(debug_.lines(),
            (std::vector<std::string>{
                ":\"leaf.h\" : \nFAILED: tokutil_get_sidn_value (temp_str, &value) [File: TokUtil Line: 267]",
                kIncludeReport, kIncludeReport, kOuterReport}));

  debug_.clear();
  write("core.h", "SIDDEF(A, \"A\")\n#include \"gone.h\"\n");
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  EXPECT_EQ(debug_.lines(), (std::vector<std::string>{
                               ":\"gone.h\" : \nFAILED: (f = fopen (fname, \"r\")) != 0 [File: TokUtil Line: 236]",
                               kIncludeReport, kOuterReport}));

  debug_.clear();
  write("core.h", "SIDDEF(A, \"A\")\nSIDDEF(B \"B\")\n");
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  EXPECT_EQ(debug_.lines(), (std::vector<std::string>{
                               ":\"core.h\" : \nFAILED: line_strcmp (&lstr, _TT(\",\")) [File: TokUtil Line: 281]",
                               kOuterReport}));
}

TEST_F(StokenTest, NameLookupIgnoresCaseOfAToZAndTakesTheFirst) {
  write("core.h",
        "SID_DEFINE_FIRST_ID(SIDN_CORE)\n"
        "SIDDEF(A, \"Shape\")\nSIDDEF(B, \"Point\")\nSIDDEF(C, \"SHAPE\")\nSIDDEF(D, \"N\xE9\")\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  for (const char16_t* name : {u"Shape", u"SHAPE", u"shape", u"sHaPe"}) {
    const sShapeTokenDef* def = tokutil_find_stoken_by_name(table_, name);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def, &table_.entries[0]);
  }
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"point"), &table_.entries[1]);
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"N\xFFE9"), &table_.entries[3]);
  // Only A-Z fold: the widened byte 0xC9 is not a capital of 0xE9.
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"N\xFFC9"), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"Shap"), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"Shapes"), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u""), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, nullptr), nullptr);
}

TEST_F(StokenTest, IdLookupTakesTheFirstEntryWithTheId) {
  write("core.h",
        "SID_DEFINE_FIRST_ID(SIDN_CORE)\nSIDDEF(A, \"A\")\nSIDDEF(B, \"B\")\n"
        "SID_DEFINE_FIRST_ID(SIDN_CORE)\nSIDDEF(A2, \"A2\")\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  EXPECT_EQ(tokutil_find_stoken_by_id(table_, 0x20001), &table_.entries[0]);
  EXPECT_EQ(tokutil_find_stoken_by_id(table_, 0x20002), &table_.entries[1]);
  EXPECT_EQ(tokutil_find_stoken_by_id(table_, 0x20003), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_id(table_, 0), nullptr);
}

TEST_F(StokenTest, EmptyTableHasOnlyTheEndingEntry) {
  write("core.h", "#pragma once\n\nSID_DEFINE_FIRST_ID(SIDN_CORE)\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  ASSERT_NE(table_.entries, nullptr);
  EXPECT_EQ(table_.entries[0].name, nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u""), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_id(table_, 0), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_id(table_, 0x20000), nullptr);
}

TEST_F(StokenTest, SecondLoadFailsAndLookupsNeedATable) {
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"A"), nullptr);
  EXPECT_EQ(tokutil_find_stoken_by_id(table_, 1), nullptr);
  write("core.h", "SIDDEF(A, \"A\")\n");
  ASSERT_EQ(load(u"core.h", nullptr), 1);
  const sShapeTokenDef* first = table_.entries;
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  EXPECT_EQ(table_.entries, first);
  tokutil_free_stoken_table(table_);
  tokutil_free_stoken_table(table_);
  EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"A"), nullptr);
}

TEST(TokenTable, WithoutIndexesIsSearchedInOrder) {
  char16_t a[] = u"Alpha";
  char16_t b[] = u"ALPHA";
  sShapeTokenDef entries[] = {{a, 5}, {b, 5}, {nullptr, 0}};
  sTokenTable table;
  table.entries = entries;
  EXPECT_EQ(tokutil_find_stoken_by_name(table, u"alpha"), &entries[0]);
  EXPECT_EQ(tokutil_find_stoken_by_id(table, 5), &entries[0]);
  EXPECT_EQ(tokutil_find_stoken_by_id(table, 6), nullptr);
}

TEST_F(StokenTest, EveryAllocationFailureReleasesTheTable) {
  write("core.h", "SID_DEFINE_FIRST_ID(SIDN_CORE)\nSIDDEF(A, \"A\")\n#include \"inc.h\"\nSIDDEF(C, \"C\")\n");
  write("inc.h", "SIDDEF(B, \"B\")\n");
  int failures = 0;
  for (int k = 0; k < 16; ++k) {
    vexlor_mem_fail_after(k);
    const int ok = load(u"core.h", nullptr);
    vexlor_mem_fail_after(-1);
    if (!ok) {
      ++failures;
      EXPECT_EQ(table_.entries, nullptr) << k;
      continue;
    }
    // Whether or not the index could be built, the lookups agree.
    EXPECT_EQ(entries(), (Entries{{"A", 0x20001}, {"B", 0x20002}, {"C", 0x20003}})) << k;
    EXPECT_EQ(tokutil_find_stoken_by_name(table_, u"b"), &table_.entries[1]) << k;
    EXPECT_EQ(tokutil_find_stoken_by_id(table_, 0x20003), &table_.entries[2]) << k;
    tokutil_free_stoken_table(table_);
  }
  // The table array and the three names.
  EXPECT_EQ(failures, 4);
}

TEST_F(StokenTest, FallbackDirectorySuppliesOnlyWhatTheBaseDirectoryLacks) {
  // The named files and their includes are looked for in the base
  // directory (here the working one) first, then in the fallback.
  vxtest::TempDir beside;
  vxtest::write_file(beside.path() / "core.h",
                     "SID_DEFINE_FIRST_ID(SIDN_CORE)\nSIDDEF(A, \"Far\")\n#include \"inc.h\"\n");
  vxtest::write_file(beside.path() / "inc.h", "SIDDEF(B, \"FarInc\")\n");
  vxtest::write_file(beside.path() / "app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\nSIDDEF(C, \"FarApp\")\n");
  write("app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\nSIDDEF(C, \"NearApp\")\n");
  const std::u16string fallback = u16(beside.str());
  std::vector<std::u16string> opened;
  ASSERT_EQ(load(u"core.h", u"app.h", nullptr, fallback.c_str(), &opened), 1);
  EXPECT_EQ(entries(), (Entries{{"Far", 0x00020001}, {"FarInc", 0x00020002}, {"NearApp", 0x00030001}}));
  // Each file once, as it was opened, in reading order.
  EXPECT_EQ(opened, (std::vector<std::u16string>{fallback + u"core.h", fallback + u"inc.h", u"app.h"}));
  tokutil_free_stoken_table(table_);

  // A base directory takes the working directory's place.
  opened.clear();
  const std::u16string base = u16(dir_.str());
  beside.chdir();
  ASSERT_EQ(load(u"app.h", nullptr, base.c_str(), nullptr, &opened), 1);
  EXPECT_EQ(entries(), (Entries{{"NearApp", 0x00030001}}));
  EXPECT_EQ(opened, std::vector<std::u16string>{base + u"app.h"});
}

TEST_F(StokenTest, AbsoluteNamesAreOpenedAsWritten) {
  vxtest::TempDir beside;
  vxtest::write_file(beside.path() / "core.h", "SIDDEF(A, \"Far\")\n");
  const std::u16string other = u16(beside.str());
  EXPECT_EQ(load(u"core.h", nullptr), 0);
  // Neither the base nor the fallback directory redirects an absolute name.
  const std::u16string absolute = u16(dir_.str("nothere.h"));
  EXPECT_EQ(load(absolute.c_str(), nullptr, other.c_str(), other.c_str()), 0);
  EXPECT_EQ(table_.entries, nullptr);
  const std::u16string core = u16(beside.str("core.h"));
  ASSERT_EQ(load(core.c_str(), nullptr, u16(dir_.str()).c_str()), 1);
  EXPECT_EQ(entries(), (Entries{{"Far", 1}}));
}

}  // namespace
