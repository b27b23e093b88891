#include "tables/config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/alloc_hook.h"
#include "support/test_support.h"

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_.chdir(); }
  void TearDown() override {
    vexlor_mem_fail_after(-1);
    tokutil_free_config(config_);
  }
  int load(const std::string& content) {
    vxtest::write_file(dir_.path() / "Vexlor.cfg", content);
    return tokutil_load_config(rep_, config_, u"Vexlor.cfg");
  }

  struct Ext {
    std::u16string text_ext;
    bool has_binary;
    std::u16string binary_ext;
    std::u16string desc;
    bool operator==(const Ext&) const = default;
  };
  std::vector<Ext> entries() const {
    std::vector<Ext> out;
    const sExtTable* ext_table = config_.ext_table;
    if (ext_table == nullptr) return out;
    for (sListNode* n = ext_table->entries->next; n != ext_table->entries; n = n->next) {
      const auto* e = static_cast<const sExtEntry*>(n->data);
      out.push_back({e->text_ext, e->binary_ext != nullptr, e->binary_ext ? e->binary_ext : u"", e->desc});
    }
    return out;
  }

  std::u16string coreids() const { return config_.coreids_file; }
  std::u16string appids() const { return config_.appids_file; }

  vxtest::TempDir dir_;
  sReporter rep_;
  sConfig config_;
};

TEST_F(ConfigTest, TokenDefinitionFileNames) {
  const struct {
    const char* what;
    std::string content;
    std::u16string core;
    std::u16string app;
  } cases[] = {
      {"both, leading blanks", "  COREIDS core.h\n\tAPPIDS   app.h\n", u"core.h", u"app.h"},
      {"either order", "APPIDS app.h\nCOREIDS core.h\n", u"core.h", u"app.h"},
      {"last non-empty value wins", "COREIDS one.h\nCOREIDS two.h\nCOREIDS\nCOREIDS   \n", u"two.h", u""},
      {"keyword is case-sensitive", "coreids core.h\nAppIds app.h\n", u"", u""},
      {"keyword is a prefix", "COREIDSX core.h\n", u"X", u""},
      {"value ends at white space, quotes stay", "COREIDS \"my core.h\"\r\nAPPIDS app.h\r\n", u"\"my", u"app.h"},
      {"only the first word counts", "COREIDS # COREIDS b.h\n", u"#", u""},
      {"comments and other lines", "; COREIDS x.h\n[section]\n\n", u"", u""},
      {"empty file", "", u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    config_ = sConfig{};
    ASSERT_EQ(load(c.content), 1);
    EXPECT_EQ(coreids(), c.core);
    EXPECT_EQ(appids(), c.app);
    tokutil_free_config(config_);
  }
}

TEST_F(ConfigTest, ExtensionTableInFileOrder) {
  const std::string pattern31(31, 'p');
  const std::string pattern32(32, 'p');
  ASSERT_EQ(load("FILE_EXT *.s *.b Shape files\n"
                 "FILE_EXT *.t \"\" Text only \n"
                 "FILE_EXT *.one\n"
                 "FILE_EXT *.c *.cb\n"
                 "FILE_EXT   *.d\t*.db\t  tabbed\tdescription\r\n"
                 "FILE_EXT " +
                 pattern32 + " *.x too long\n" + "FILE_EXT *.x " + pattern32 + " too long\n" + "FILE_EXT " +
                 pattern31 + " *.y fits\n" + "FILE_EXTX *.z *.zb prefix\n" + "file_ext *.q *.qb ignored\n" +
                 "FILE_EXT *.h \xE9\xFF high\n"),
            1);
  const std::u16string p31(31, u'p');
  const std::vector<Ext> expected = {
      {u"*.s", true, u"*.b", u"Shape files"},
      {u"*.t", false, u"", u"Text only "},
      {u"*.c", true, u"*.cb", u""},
      {u"*.d", true, u"*.db", u"tabbed\tdescription\r"},
      {p31, true, u"*.y", u"fits"},
      {u"X", true, u"*.z", u"*.zb prefix"},
      {u"*.h", true, u"\xFFE9\xFFFF", u"high"},
  };
  EXPECT_EQ(entries(), expected);
}

TEST_F(ConfigTest, CrlfLinesKeepTheCarriageReturnOnlyInDescriptions) {
  ASSERT_EQ(load("COREIDS core.h\r\nAPPIDS app.h\r\nFILE_EXT *.s *.b Shapes\r\nFILE_EXT *.t *.u\r\n"), 1);
  EXPECT_EQ(coreids(), u"core.h");
  EXPECT_EQ(appids(), u"app.h");
  EXPECT_EQ(entries(), (std::vector<Ext>{{u"*.s", true, u"*.b", u"Shapes\r"}, {u"*.t", true, u"*.u", u""}}));
}

TEST_F(ConfigTest, LongLinesAreReadInPiecesOf255Bytes) {
  // The first 255 bytes end inside the description; the rest is a line of
  // its own and names the core file.
  const std::string head = "FILE_EXT *.s *.b ";
  ASSERT_EQ(load(head + std::string(255 - head.size(), 'd') + "COREIDS core.h\n"), 1);
  ASSERT_EQ(entries().size(), 1u);
  EXPECT_EQ(entries()[0].desc, std::u16string(255 - head.size(), u'd'));
  EXPECT_EQ(coreids(), u"core.h");
}

TEST_F(ConfigTest, SecondLoadFailsAndFreeKeepsTheNames) {
  ASSERT_EQ(load("COREIDS core.h\nFILE_EXT *.s *.b x\n"), 1);
  sExtTable* first = config_.ext_table;
  EXPECT_EQ(load("COREIDS other.h\n"), 0);
  EXPECT_EQ(config_.ext_table, first);
  EXPECT_EQ(coreids(), u"core.h");
  tokutil_free_config(config_);
  EXPECT_EQ(config_.ext_table, nullptr);
  EXPECT_EQ(coreids(), u"core.h");
  tokutil_free_config(config_);
}

TEST_F(ConfigTest, MissingFileReportsWithItsName) {
  vxtest::DebugCapture debug;
  EXPECT_EQ(tokutil_load_config(debug.rep(), config_, u"nowhere.cfg"), 0);
  EXPECT_EQ(config_.ext_table, nullptr);
  EXPECT_EQ(debug.rep().definition_file, nullptr);  // not left pointing at the name
  EXPECT_EQ(debug.lines(), (std::vector<std::string>{
                               ":\"nowhere.cfg\" : \nFAILED: (f = fopen (fname, \"rb\")) != 0 [File: TokUtil Line: 412]"}));
}

TEST_F(ConfigTest, EveryAllocationFailureReleasesTheTable) {
  vxtest::write_file(dir_.path() / "Vexlor.cfg", "FILE_EXT *.s *.b Shapes\nFILE_EXT *.t \"\" Text\nCOREIDS c.h\n");
  std::vector<std::string> reports;
  int loaded_at = -1;
  for (int k = 0; k < 64 && loaded_at < 0; ++k) {
    vxtest::DebugCapture debug;
    int ok = 0;
    vexlor_mem_fail_after(k);
    ok = tokutil_load_config(debug.rep(), config_, u"Vexlor.cfg");
    vexlor_mem_fail_after(-1);
    if (ok) {
      loaded_at = k;
    } else {
      EXPECT_EQ(config_.ext_table, nullptr) << k;
      ASSERT_EQ(debug.lines().size(), 1u) << k;
      reports.push_back(debug.lines()[0]);
    }
  }
  // Table, list head, then per entry: record, patterns, description, node.
  ASSERT_EQ(loaded_at, 11);
  EXPECT_EQ(reports[0],
            "\nFAILED: (ext_table = (sExtTable *) vexlor_mem_alloc_fixed(sizeof (sExtTable))) != 0 "
            "[File: TokUtil Line: 418]");
  EXPECT_EQ(reports[6], "\nFAILED: list_add_last (ext_table->entries, entry) != 0 [File: TokUtil Line: 460]");
  EXPECT_EQ(entries().size(), 2u);
}

}  // namespace
