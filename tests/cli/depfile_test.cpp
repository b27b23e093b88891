#include "app/depfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/definitions.h"
#include "support/test_support.h"

namespace {

TEST(Depfile, NamesAreEscapedAsGccWritesThem) {
  struct Case {
    std::u16string name;
    std::string written;
  } cases[] = {
      {u"in.t", "in.t"},
      {u"my file.t", "my\\ file.t"},
      {u"tab\tname", "tab\\\tname"},
      {u"a#1.t", "a\\#1.t"},
      {u"$HOME.t", "$$HOME.t"},
      {u"a\\ b", "a\\\\\\ b"},
      {u"a\\\\ b", "a\\\\\\\\\\ b"},
      {u"a\\#b", "a\\\\#b"},
      {u"C:\\data\\in.t", "C:\\data\\in.t"},
      {u"caf\u00e9.t", "caf\xc3\xa9.t"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(make_depfile({{u"out.b", c.name}}), "out.b: " + c.written + "\n") << vxtest::narrow(c.name);
    EXPECT_EQ(make_depfile({{c.name, u""}}), c.written + ":\n") << vxtest::narrow(c.name);
  }
  // Names no reader would get back refuse the whole text.
  const std::u16string refused[] = {u"", u"a\nb", u"a\rb", std::u16string(u"a\0b", 3), u"dir\\"};
  for (const std::u16string& name : refused) {
    const std::vector<std::u16string> definitions{u"Vexlor.cfg", name};
    EXPECT_EQ(make_depfile({{u"out.b", u"in.t", &definitions}}), "") << vxtest::narrow(name);
    EXPECT_EQ(make_depfile({{name, u"in.t"}}), "") << vxtest::narrow(name);
  }
  EXPECT_EQ(make_depfile({}), "");
}

TEST(Depfile, OneRulePerOutputWithEveryDefinitionOnALineOfItsOwn) {
  const std::vector<std::u16string> definitions{u"Vexlor.cfg", u"sidn.txt", u"defs/core ids.h", u"shape.bnf"};
  const std::string expected =
      "one.b: one.t \\\n"
      "  Vexlor.cfg \\\n"
      "  sidn.txt \\\n"
      "  defs/core\\ ids.h \\\n"
      "  shape.bnf\n"
      "out/two.t: two.b \\\n"
      "  Vexlor.cfg \\\n"
      "  sidn.txt \\\n"
      "  defs/core\\ ids.h \\\n"
      "  shape.bnf\n";
  EXPECT_EQ(make_depfile({{u"one.b", u"one.t", &definitions}, {u"out/two.t", u"two.b", &definitions}}), expected);

  vxtest::TempDir dir;
  const std::u16string path = vxtest::u16(dir.str("out.d"));
  vxtest::write_file(dir.path() / "out.d", "an older and longer dependency file\n");
  ASSERT_TRUE(write_depfile(path, expected));
  EXPECT_EQ(vxtest::read_file(dir.path() / "out.d"), expected);
  EXPECT_FALSE(write_depfile(path, ""));
  EXPECT_FALSE(write_depfile(vxtest::u16(dir.str("missing/out.d")), expected));
}

// The definitions name every file a change to which could change the load:
// grammar files that failed or repeated a type too, each once; not a file
// passed over for its name, which was never opened.
TEST(Depfile, DefinitionsDependOnEveryGrammarFileOpened) {
  vxtest::TempDir dir;
  dir.chdir();
  vxtest::write_file(dir.path() / "Vexlor.cfg", "COREIDS core.h\nAPPIDS app.h\nFILE_EXT *.t *.b Boxes\n");
  vxtest::write_file(dir.path() / "sidn.txt", "SIDN_TEST = 0x0001\nSIDN_APP = 0x0002\n");
  vxtest::write_file(dir.path() / "core.h", "SID_DEFINE_FIRST_ID(SIDN_TEST)\nSIDDEF(ID_BOX, \"Box\")\n");
  vxtest::write_file(dir.path() / "app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\n#include \"more.h\"\n");
  vxtest::write_file(dir.path() / "more.h", "SIDDEF(ID_PAIR, \"Pair\")\n");
  const std::string box = vxtest::utf16le(u"FILE_TYPE = \"b\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Box .\n"
                                          u"Box ==> :uint .\nEOF\n");
  vxtest::write_file(dir.path() / "box.bnf", box);
  vxtest::write_file(dir.path() / "copy.bnf", box);  // the same type and version
  vxtest::write_file(dir.path() / "bad.bnf", "x");

  vxtest::DebugCapture debug;
  sDefinitions defs;
  sDefinitionsFailure failure;
  // The directory searched twice: box.bnf is passed over for its name the
  // second time, bad.bnf and copy.bnf are opened again.
  ASSERT_TRUE(load_definitions(debug.rep(), sDefinitionSearch{{u"", u""}}, defs, failure));
  EXPECT_EQ(defs.files, (std::vector<std::u16string>{u"Vexlor.cfg", u"sidn.txt", u"core.h", u"app.h", u"more.h",
                                                     u"box.bnf"}));
  EXPECT_EQ(defs.depends_on, (std::vector<std::u16string>{u"Vexlor.cfg", u"sidn.txt", u"core.h", u"app.h",
                                                          u"more.h", u"bad.bnf", u"box.bnf", u"copy.bnf"}));
  free_definitions(defs);
  EXPECT_TRUE(defs.depends_on.empty());
}

}  // namespace
