#include "tables/sidn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/alloc_hook.h"
#include "support/test_support.h"

namespace {

using vxtest::u16;

class SidnTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_.chdir(); }
  void TearDown() override {
    vexlor_mem_fail_after(-1);
    tokutil_free_sidn_table(table_);
  }
  int load(const std::string& content) {
    vxtest::write_file(dir_.path() / "sidn.txt", content);
    return tokutil_load_sidn_table(debug_.rep(), table_, u"sidn.txt");
  }
  bool value_of(const char16_t* name, sUInt* value) const { return tokutil_get_sidn_value(table_, name, value) == 1; }

  vxtest::TempDir dir_;
  vxtest::DebugCapture debug_;
  sSIDNTable* table_ = nullptr;
};

struct Expect {
  const char16_t* name;
  bool found;
  sUInt value;
};

struct LoadCase {
  const char* what;
  std::string content;
  bool loads;
  std::vector<Expect> expect;
};

TEST_F(SidnTest, ReadsDefinitionsAsTheScanPatternAccepts) {
  const LoadCase cases[] = {
      {"last definition wins", "SIDN_A = 1\nSIDN_B = 5\nSIDN_A = 2\n", true, {{u"SIDN_A", true, 2}, {u"SIDN_B", true, 5}}},
      {"one-line enum defines its first name", "enum { SIDN_A = 0x10, SIDN_B = 2 };\n", true,
       {{u"SIDN_A", true, 16}, {u"SIDN_B", false, 0}}},
      {"enum layout",
       "enum\n{\n    SIDN_CORE_BASE = 0x0001,\n    SIDN_APP = 0X2, // app range\n};\n", true,
       {{u"SIDN_CORE_BASE", true, 1}, {u"SIDN_APP", true, 2}, {u"CORE_BASE", false, 0}}},
      {"enum is a prefix keyword", "enumSIDN_J = 4\nenumeration SIDN_K = 5\n", true,
       {{u"SIDN_J", true, 4}, {u"SIDN_K", false, 0}}},
      {"enum keyword is case-sensitive", "ENUM { SIDN_H = 1\n", true, {{u"SIDN_H", false, 0}}},
      {"blank required before =", "SIDN_A=1\n", false, {}},
      {"comma and comment after the number", "SIDN_B = 1F, // comment\n", true, {{u"SIDN_B", true, 31}}},
      {"line comments hide definitions", "// SIDN_X = 5\nSIDN_Y = 6\n", true,
       {{u"SIDN_X", false, 0}, {u"SIDN_Y", true, 6}}},
      {"block comments do not", "/*\n   SIDN_K = 7\n*/\n", true, {{u"SIDN_K", true, 7}}},
      {"name alone", "SIDN_C\n", false, {}},
      {"no number", "SIDN_C =\n", false, {}},
      {"not a hex number", "SIDN_C = g\n", false, {}},
      {"sign without digits", "SIDN_C = -\n", false, {}},
      {"lone 0x reads as zero", "SIDN_D = 0x\n", true, {{u"SIDN_D", true, 0}}},
      {"white space optional around =", "SIDN_G =0x5\n\tSIDN_H\t=\t6\r\n", true,
       {{u"SIDN_G", true, 5}, {u"SIDN_H", true, 6}}},
      {"signs", "SIDN_M = -1\nSIDN_P = +a\nSIDN_N = -0x10\n", true,
       {{u"SIDN_M", true, 0xFFFFFFFFu}, {u"SIDN_P", true, 10}, {u"SIDN_N", true, 0xFFFFFFF0u}}},
      {"eight digits", "SIDN_E = FFFFFFFF\nSIDN_F = 0x00000001\n", true,
       {{u"SIDN_E", true, 0xFFFFFFFFu}, {u"SIDN_F", true, 1}}},
      {"nine digits", "SIDN_E = 100000000\n", false, {}},
      {"nine digits with leading zeros", "SIDN_E = 0x000000001\n", false, {}},
      {"lookup is exact", "SIDN_A = 1\n", true, {{u"sidn_a", false, 0}, {u"SIDN_A ", false, 0}}},
      {"prefix alone is a name", "SIDN_ = 3\n", true, {{u"SIDN_", true, 3}}},
      {"empty file", "", true, {{u"SIDN_A", false, 0}}},
      {"no definitions", "#pragma once\n\n};\n", true, {{u"SIDN_A", false, 0}}},
      {"high bytes widen by sign extension", "SIDN_\xE9 = 9\n", true,
       {{u"SIDN_\xFFE9", true, 9}, {u"SIDN_\x00E9", false, 0}}},
      {"a line longer than 255 bytes is read as two", std::string(255, 'x') + "SIDN_R = 7\n", true,
       {{u"SIDN_R", true, 7}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(load(c.content), c.loads ? 1 : 0);
    EXPECT_EQ(table_ != nullptr, c.loads);
    for (const auto& e : c.expect) {
      sUInt value = 0xDEADBEEFu;
      EXPECT_EQ(value_of(e.name, &value), e.found) << vxtest::narrow(e.name);
      EXPECT_EQ(value, e.found ? e.value : 0xDEADBEEFu) << vxtest::narrow(e.name);
    }
    tokutil_free_sidn_table(table_);
  }
}

TEST_F(SidnTest, FailedLineLeavesNoDefinitionOfTheFile) {
  EXPECT_EQ(load("SIDN_A = 1\nSIDN_B = 2\nSIDN_C\n"), 0);
  EXPECT_EQ(table_, nullptr);
  sUInt value = 0;
  EXPECT_FALSE(value_of(u"SIDN_A", &value));
}

TEST_F(SidnTest, SecondLoadFailsAndKeepsTheFirstTable) {
  ASSERT_EQ(load("SIDN_A = 1\n"), 1);
  sSIDNTable* first = table_;
  EXPECT_EQ(load("SIDN_A = 2\n"), 0);
  EXPECT_EQ(table_, first);
  EXPECT_TRUE(debug_.lines().empty());
  sUInt value = 0;
  ASSERT_TRUE(value_of(u"SIDN_A", &value));
  EXPECT_EQ(value, 1u);
}

TEST_F(SidnTest, FreeWithoutTableAndLookupWithoutTable) {
  tokutil_free_sidn_table(table_);
  sUInt value = 7;
  EXPECT_EQ(tokutil_get_sidn_value(nullptr, u"SIDN_A", &value), 0);
  EXPECT_EQ(value, 7u);
}

TEST_F(SidnTest, OnlyTheOpenReportNamesTheFile) {
  EXPECT_EQ(tokutil_load_sidn_table(debug_.rep(), table_, u"missing.txt"), 0);
  ASSERT_EQ(debug_.lines().size(), 1u);
  EXPECT_EQ(debug_.lines()[0], ":\"missing.txt\" : \nFAILED: (f = fopen (fname, \"r\")) != 0 [File: TokUtil Line: 112]");

  debug_.clear();
  EXPECT_EQ(load("SIDN_A=1\n"), 0);
  ASSERT_EQ(debug_.lines().size(), 1u);
  EXPECT_EQ(debug_.lines()[0],
            "\nFAILED: swscanf (lstr, L\"%s = %x\", &sidn_buf, &value) == 2 [File: TokUtil Line: 137]");
}

TEST_F(SidnTest, EveryAllocationFailureReleasesTheTable) {
  vxtest::write_file(dir_.path() / "sidn.txt", "SIDN_A = 1\nSIDN_B = 2\nSIDN_C = 3\n");
  int loaded_at = -1;
  for (int k = 0; k < 64 && loaded_at < 0; ++k) {
    vexlor_mem_fail_after(k);
    const int ok = tokutil_load_sidn_table(debug_.rep(), table_, u"sidn.txt");
    vexlor_mem_fail_after(-1);
    if (ok) {
      loaded_at = k;
    } else {
      EXPECT_EQ(table_, nullptr) << k;
    }
  }
  // table, list head, and per definition its record, name and list node
  ASSERT_EQ(loaded_at, 11);
  sUInt value = 0;
  ASSERT_TRUE(value_of(u"SIDN_C", &value));
  EXPECT_EQ(value, 3u);
}

}  // namespace
