// Round trips through grammars that stress the corners of the formats:
// recursive rules, odd strings, extreme numbers, choices told apart by token
// ids, optional parts at a block's end, repeated groups, quoted block names.
// Whatever the source's layout, the binary form is stable and the text form
// is stable from the first text the program writes.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::grammar;
using vxtest::Sandbox;

struct Case {
  const char* name;
  std::string type_version;
  std::u16string body;  // text body after the body header
};

void corner_defs(const std::filesystem::path& dir) {
  vxtest::write_file(dir / "Vexlor.cfg", "COREIDS core.h\n");
  vxtest::write_file(dir / "sidn.txt", "SIDN_T = 0x0007\n");
  vxtest::write_file(dir / "core.h",
                     "SID_DEFINE_FIRST_ID(SIDN_T)\n"
                     "SIDDEF(A, \"Node\")\nSIDDEF(B, \"Note\")\nSIDDEF(C, \"Num\")\nSIDDEF(D, \"Item\")\n"
                     "SIDDEF(E, \"Extra\")\nSIDDEF(F, \"on\")\nSIDDEF(G, \"off\")\nSIDDEF(H, \"level\")\n");
  vxtest::write_file(dir / "r.bnf", grammar("FILE_TYPE = \"r\" . FILE_TYPE_VER = \"1\" .\n"
                                            "FILE = { :Node } .\nNode ==> :uint [ { :Node } ] .\nEOF\n"));
  vxtest::write_file(dir / "n.bnf", grammar("FILE_TYPE = \"n\" . FILE_TYPE_VER = \"1\" .\n"
                                            "FILE = { :Note } .\nNote ==> :string .\nEOF\n"));
  vxtest::write_file(dir / "m.bnf", grammar("FILE_TYPE = \"m\" . FILE_TYPE_VER = \"1\" .\n"
                                            "FILE = { :Num } .\nNum ==> :sint :uint :dword :byte :float [ :token ] .\nEOF\n"));
  vxtest::write_file(dir / "a.bnf", grammar("FILE_TYPE = \"a\" . FILE_TYPE_VER = \"1\" .\n"
                                            "FILE = :ARRAY ( :Node ) .\nNode ==> :uint [ { :Node } ] .\nEOF\n"));
  vxtest::write_file(dir / "i.bnf",
                     grammar("FILE_TYPE = \"i\" . FILE_TYPE_VER = \"1\" .\n"
                             "FILE = { :Item } .\n"
                             "Item ==> :Kind [ :Extra ] [ note :string ] .\n"
                             "Kind = on | off | ( level :byte ) .\n"
                             "Extra ==> { :uint :uint } .\nEOF\n"));
  vxtest::write_file(dir / "v.bnf", grammar("FILE_TYPE = \"v\" . FILE_TYPE_VER = \"1\" .\n"
                                            "FILE = :ARRAY ( :uint :float ) .\nEOF\n"));
  vxtest::write_file(dir / "p.bnf", grammar("FILE_TYPE = \"p\" . FILE_TYPE_VER = \"1\" .\n"
                                            "FILE = { :Num } .\nNum ==> { :float :float } [ :uint ] .\nEOF\n"));
}

const Case kCases[] = {
    {"recursion", "r1", u"Node ( 1 Node ( 2 Node ( 3 ) ) Node ( 4 ) ) Node ( 5 ) Node ( 6 Node ( 7 ) )"},
    {"strings", "n1",
     u"Note ( \"\" ) Note ( \"a \\\"quoted\\\" \\\\ back\\tslash\" ) Note ( \"line1\\nline2\\n\" )"
     u" Note ( \"//\" ) Note ( \"/*\" ) Note ( \"(paren)\" ) Note ( \"x|y\" ) Note ( \"caf\u00e9 \u4e2d\" )"
     u" Note ( plain ) Note ( \"" +
         std::u16string(2000, u'a') + u"\" ) Note ( \"" + std::u16string(1500, u' ') + u"\" )"},
    {"numbers", "m1",
     u"Num ( -2147483648 4294967295 FFFFFFFF ff 0.1 )\r\nNum ( 007 0 0 0 3.4028235e38 Note )\r\n"
     u"Num ( -1 1 1 1 1e-7 ) Num ( 0 0 0 0 -0.333333343 on )"},
    {"choices", "i1",
     u"Item ( on ) Item ( off Extra ( 1 2 3 4 ) ) Item ( level 7f note \"x y\" )"
     u" Item \"my item\" ( on Extra ( 5 6 ) note z )"},
    {"numbers at the top", "v1", u"1 2.5 3 4.5 5 -0"},
    // The last iteration takes 5 as a float, then fails: 5 is the uint.
    {"numbers given back", "p1", u"Num ( 1 2 3 4 5 ) Num ( 1 2 )"},
};

TEST(GrammarRoundTrip, CornerCasesAreStableInBothForms) {
  Sandbox box;
  corner_defs(box.work());
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    box.put("src.t", vxtest::text_token_file(c.type_version, "") +
                         vxtest::utf16le(u"\r\n" + c.body + u"\r\n"));
    auto r = box.run({"src.t", "/u", "/o:one.b"});
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(box.run({"one.b", "/o:two.t"}).status, 0);
    ASSERT_EQ(box.run({"two.t", "/u", "/o:three.b"}).status, 0);
    ASSERT_EQ(box.run({"three.b", "/o:four.t"}).status, 0);
    EXPECT_EQ(box.get("three.b"), box.get("one.b"));
    EXPECT_EQ(box.get("four.t"), box.get("two.t"));
  }
}

TEST(GrammarRoundTrip, TextKeepsWhatTheSourceSaid) {
  Sandbox box;
  corner_defs(box.work());
  box.put("src.t", vxtest::text_token_file("m1", "\r\nNum ( 007 1 FFFFFFFF ff 0.1 )\r\n"));
  ASSERT_EQ(box.run({"src.t", "/u", "/o:one.b"}).status, 0);
  ASSERT_EQ(box.run({"one.b", "/o:two.t"}).status, 0);
  // Numbers written back from binary take the program's own spelling.
  EXPECT_EQ(box.get("two.t"), vxtest::text_token_file("m1", "\r\nNum ( 7 1 ffffffff ff 0.1 )\r\n"));

  // A value an iteration took and gave back is there once, as what took it
  // next; an array at the top is written from its numbers.
  box.put("p.t", vxtest::text_token_file("p1", "\r\nNum ( 1 2 3 4 5 ) Num ( 1 2 )\r\n"));
  ASSERT_EQ(box.run({"p.t", "/u", "/o:p.b"}).status, 0);
  EXPECT_EQ(box.get("p.b").size(), 32u + 2 * 9 + 5 * 4 + 2 * 4);
  ASSERT_EQ(box.run({"p.b", "/o:p2.t"}).status, 0);
  EXPECT_EQ(box.get("p2.t"), vxtest::text_token_file("p1", "\r\nNum ( 1 2 3 4 5 )\r\nNum ( 1 2 )\r\n"));
  box.put("v.t", vxtest::text_token_file("v1", "\r\n1 2.50 3 4.5\r\n"));
  ASSERT_EQ(box.run({"v.t", "/u", "/o:v.b"}).status, 0);
  ASSERT_EQ(box.run({"v.b", "/o:v2.t"}).status, 0);
  EXPECT_EQ(box.get("v2.t"), vxtest::text_token_file("v1", " 1 2.5 3 4.5\r\n"));
}

TEST(GrammarRoundTrip, AFileThatIsOneArrayIsWrittenFromItsFirstBlock) {
  // The root array has no text of its own: writing starts at its first block,
  // so the blocks stand at the top level of the text.
  Sandbox box;
  corner_defs(box.work());
  box.put("src.t", vxtest::text_token_file("a1", "\r\nNode ( 1 ) Node ( 2 Node ( 3 ) )\r\n"));
  ASSERT_EQ(box.run({"src.t", "/u", "/o:one.b"}).status, 0);
  ASSERT_EQ(box.run({"one.b", "/o:two.t"}).status, 0);
  EXPECT_EQ(box.get("two.t"), vxtest::text_token_file("a1", "\r\nNode ( 1 )\r\nNode ( 2\r\n\tNode ( 3 )\r\n)\r\n"));
}

}  // namespace
