#include "bnf/bnf_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bnf/tokenizer.h"
#include "grammar_fixture.h"

namespace {

std::u16string grammar(const std::string& type, const std::string& version) {
  return vxtest::u16("FILE_TYPE = " + type + " .\nFILE_TYPE_VER = " + version + " .\nFILE = a .\nEOF\n");
}

class BnfRegistryTest : public bnftest::GrammarTest {
 protected:
  void TearDown() override {
    free_bnf_table_list(list_);
    EXPECT_EQ(list_, nullptr);
    GrammarTest::TearDown();
  }

  sUInt load(const std::vector<std::u16string>& dirs) {
    return load_bnf_files(debug_.rep(), tokens_, list_, dirs, &BnfRegistryTest::keep_notice, this, &loaded_,
                          &read_);
  }
  static void keep_notice(void* user, const sGrammarNotice& notice) {
    static_cast<BnfRegistryTest*>(user)->notices_.push_back(notice);
  }
  std::u16string prefix() const { return vxtest::u16(dir_.str()); }

  sListNode* list_ = nullptr;
  std::vector<sGrammarNotice> notices_;
  std::vector<std::u16string> loaded_;
  std::vector<std::u16string> read_;
};

TEST_F(BnfRegistryTest, SecondGrammarForATypeIsPassedOverWithANotice) {
  bnftest::write_grammar(dir_, "b.bnf", grammar("\"w\"", "0x31"));
  bnftest::write_grammar(dir_, "A.BNF", grammar("0x77", "\"1\""), true);
  bnftest::write_grammar(dir_, "c.bnf", grammar("\"W\"", "1"));
  bnftest::write_grammar(dir_, "notes.txt", grammar("\"x\"", "1"));
  dir_.chdir();
  EXPECT_EQ(load({u""}), 2u);  // the working directory
  EXPECT_EQ(loaded_, (std::vector<std::u16string>{u"A.BNF", u"c.bnf"}));
  EXPECT_EQ(read_, (std::vector<std::u16string>{u"A.BNF", u"b.bnf", u"c.bnf"}));
  ASSERT_EQ(notices_.size(), 1u);
  const sGrammarNotice& n = notices_[0];
  EXPECT_EQ(n.kind, sGrammarNotice::kDuplicate);
  EXPECT_EQ(n.path, u"b.bnf");
  EXPECT_EQ(n.name, u"b.bnf");
  EXPECT_EQ(n.file_type, 'w');
  EXPECT_EQ(n.file_type_ver, '1');
  EXPECT_EQ(n.known_name, u"A.BNF");

  sBNFTable* w = find_bnf_table(list_, 'w', '1');
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::u16string(w->name), u"A.BNF");
  sBNFTable* upper = find_bnf_table(list_, 'W', 1);
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(std::u16string(upper->name), u"c.bnf");
  EXPECT_EQ(find_bnf_table(list_, 'w', 1), nullptr);
  EXPECT_EQ(find_bnf_table(list_, 'x', '1'), nullptr);
  // The last accepted table stands first in the list.
  EXPECT_EQ(list_->next->data, upper);
}

TEST_F(BnfRegistryTest, FailedFileIsNoticedWithItsLineAndLoadingGoesOn) {
  bnftest::write_grammar(dir_, "bad.bnf", u"FILE_TYPE = 1 .\nFILE_TYPE_VER = 1 .\n\nFILE = :nowhere .\n");
  bnftest::write_grammar(dir_, "good.bnf", grammar("2", "1"));
  vxtest::write_file(dir_.str("tiny.bnf"), "x");
  EXPECT_EQ(load({prefix()}), 1u);
  ASSERT_EQ(notices_.size(), 2u);
  EXPECT_EQ(notices_[0].kind, sGrammarNotice::kLoadFailed);
  EXPECT_EQ(notices_[0].path, prefix() + u"bad.bnf");
  EXPECT_EQ(notices_[0].line, 4u);
  EXPECT_EQ(notices_[1].kind, sGrammarNotice::kLoadFailed);
  EXPECT_EQ(notices_[1].path, prefix() + u"tiny.bnf");
  EXPECT_EQ(notices_[1].line, 0u);
  ASSERT_NE(find_bnf_table(list_, 2, 1), nullptr);
  EXPECT_EQ(loaded_, std::vector<std::u16string>{prefix() + u"good.bnf"});
  EXPECT_EQ(read_,
            (std::vector<std::u16string>{prefix() + u"bad.bnf", prefix() + u"good.bnf", prefix() + u"tiny.bnf"}));

  // Without a notice function the failures pass silently.
  free_bnf_table_list(list_);
  EXPECT_EQ(load_bnf_files(debug_.rep(), tokens_, list_, {prefix()}, nullptr, nullptr), 1u);
}

TEST_F(BnfRegistryTest, FileNameAlreadyLoadedIsSkippedSilently) {
  // A name found in a later directory too, in any case, is loaded once,
  // from the first; so is a directory given again or loaded again.
  vxtest::TempDir later;
  const std::u16string later_prefix = vxtest::u16(later.str());
  bnftest::write_grammar(later, "same.bnf", grammar("3", "3"));
  bnftest::write_grammar(later, "other.bnf", grammar("4", "4"));
  bnftest::write_grammar(dir_, "SAME.BNF", grammar("5", "5"));
  EXPECT_EQ(load({prefix(), later_prefix, prefix()}), 2u);
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(find_bnf_table(list_, 3, 3), nullptr);
  ASSERT_NE(find_bnf_table(list_, 5, 5), nullptr);
  sBNFTable* from_later = find_bnf_table(list_, 4, 4);
  ASSERT_NE(from_later, nullptr);
  EXPECT_EQ(std::u16string(from_later->name), u"other.bnf");
  EXPECT_EQ(loaded_, (std::vector<std::u16string>{prefix() + u"SAME.BNF", later_prefix + u"other.bnf"}));
  EXPECT_EQ(read_, loaded_);  // the names passed over were never opened

  EXPECT_EQ(load({later_prefix}), 0u);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(BnfRegistryTest, NothingToLoadGivesAnEmptyList) {
  EXPECT_EQ(find_bnf_table(nullptr, 'w', '1'), nullptr);
  EXPECT_EQ(load({prefix(), prefix() + u"missing/"}), 0u);
  ASSERT_NE(list_, nullptr);
  EXPECT_EQ(list_->next, list_);
  EXPECT_TRUE(notices_.empty());
}

}  // namespace
