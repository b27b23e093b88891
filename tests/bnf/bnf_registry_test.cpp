#include "bnf/bnf_registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/cmdline.h"
#include "bnf/tokenizer.h"
#include "grammar_fixture.h"

namespace {

std::u16string grammar(const std::string& type, const std::string& version) {
  return vxtest::u16("FILE_TYPE = " + type + " .\nFILE_TYPE_VER = " + version + " .\nFILE = a .\nEOF\n");
}

class BnfRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bnftest::load_token_names(dir_);
    dir_.chdir();
  }
  void TearDown() override {
    free_bnf_table_list();
    tokutil_free_stoken_table();
    EXPECT_FALSE(tokenizer_is_open());
  }

  // Loads with standard output captured; returns what was printed.
  std::string load(sUInt* count) {
    vxtest::StdoutCapture out;
    *count = load_bnf_files();
    return out.finish();
  }

  vxtest::TempDir dir_;
};

TEST_F(BnfRegistryTest, SecondGrammarForATypeIsRefusedWithAWarning) {
  bnftest::write_grammar(dir_, "b.bnf", grammar("\"w\"", "0x31"));
  bnftest::write_grammar(dir_, "A.BNF", grammar("0x77", "\"1\""), true);
  bnftest::write_grammar(dir_, "c.bnf", grammar("\"W\"", "1"));
  bnftest::write_grammar(dir_, "notes.txt", grammar("\"x\"", "1"));
  sUInt count = 0;
  std::string printed = load(&count);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(printed,
            "Warning: BNF definitions for a file type found in two\ndifferently named files!\n\n"
            "Skipping BNF file:\nb.bnf\nFile type: 'w' (0x77) version: '1' (0x31) already defined in:\nA.BNF");
  sBNFTable* w = find_bnf_table('w', '1');
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::u16string(w->name), u"A.BNF");
  sBNFTable* upper = find_bnf_table('W', 1);
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(std::u16string(upper->name), u"c.bnf");
  EXPECT_EQ(find_bnf_table('w', 1), nullptr);
  EXPECT_EQ(find_bnf_table('x', '1'), nullptr);
  // The last accepted table stands first in the list.
  EXPECT_EQ(bnf_table_list->next->data, upper);
}

TEST_F(BnfRegistryTest, FailedFileIsReportedWithItsLineAndLoadingGoesOn) {
  bnftest::write_grammar(dir_, "bad.bnf", u"FILE_TYPE = 1 .\nFILE_TYPE_VER = 1 .\n\nFILE = :nowhere .\n");
  bnftest::write_grammar(dir_, "good.bnf", grammar("2", "1"));
  vxtest::write_file(dir_.str("tiny.bnf"), "x");
  sUInt count = 0;
  std::string printed = load(&count);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(printed,
            "Error loading BNF definition file:\nbad.bnf\n\nLine: 4\n"
            "Error loading BNF definition file:\ntiny.bnf\n\nLine: 0\n");
  ASSERT_NE(find_bnf_table(2, 1), nullptr);
}

TEST_F(BnfRegistryTest, FileNameAlreadyLoadedIsSkippedSilently) {
  // Grammars in the program's directory come after those of the current one;
  // a name found in both is loaded once, from the current directory.
  char16_t module_dir[kPathCapacity];
  ASSERT_TRUE(get_module_dir(module_dir, kPathCapacity));
  std::string exe_dir = vxtest::narrow(module_dir);
  std::string unique = "zz_registry_test_" + std::to_string(::getpid());
  std::filesystem::path same = exe_dir + unique + ".bnf";
  std::filesystem::path other = exe_dir + unique + "_other.bnf";
  vxtest::write_file(same, vxtest::utf16le(grammar("3", "3")));
  vxtest::write_file(other, vxtest::utf16le(grammar("4", "4")));
  bnftest::write_grammar(dir_, unique + ".BNF", grammar("5", "5"));
  sUInt count = 0;
  std::string printed = load(&count);
  std::filesystem::remove(same);
  std::filesystem::remove(other);
  EXPECT_EQ(printed.find(unique), std::string::npos) << printed;
  EXPECT_EQ(find_bnf_table(3, 3), nullptr);
  ASSERT_NE(find_bnf_table(5, 5), nullptr);
  sBNFTable* from_exe_dir = find_bnf_table(4, 4);
  ASSERT_NE(from_exe_dir, nullptr);
  EXPECT_EQ(vxtest::narrow(from_exe_dir->name), unique + "_other.bnf");
  EXPECT_GE(count, 2u);
}

TEST_F(BnfRegistryTest, NothingToLoadGivesZero) {
  sUInt count = 1;
  std::string printed = load(&count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(find_bnf_table('w', '1'), nullptr);
}

}  // namespace
