// Sources that do not match their grammar: standard error says where, in
// the style --errors chooses; in a batch each source's lines stay together.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::Sandbox;

const std::string kShininessWord =
    vxtest::text_token_file("s1", "\r\nShape s (\r\n\tInfo ( \"t\" 1 0 )\r\n\tMaterials (\r\n"
                                  "\t\tMaterial m ( Colour ( rgb 1 2 3 ) Shininess ( shiny ) Shading ( Flat ) )\r\n"
                                  "\t)\r\n\tMesh m ( Vertices ( 0 0 0 ) Faces ( 0 0 0 ) )\r\n)\r\n");
const std::string kWordInFaces =
    vxtest::text_token_file("s1", "\r\nShape s (\r\n\tInfo ( \"t\" 1 0 )\r\n\tMesh m (\r\n"
                                  "\t\tVertices ( 0 0 0 )\r\n\t\tFaces ( 0 0 x )\r\n\t)\r\n)\r\n");

TEST(ReadDiagnosis, MsvcStylePutsLineAndColumnInBrackets) {
  Sandbox box;
  Sandbox::shipped_defs(box.work());
  box.put("bad.s", kShininessWord);
  const std::string caret = "\t\tMaterial m ( Colour ( rgb 1 2 3 ) Shininess ( shiny ) Shading ( Flat ) )\n"
                            "\t\t                                              ^\n";
  auto gnu = box.run({"bad.s", "/k"});
  EXPECT_EQ(gnu.err, "bad.s:5:49: error: expected a float, found 'shiny'\n" + caret);
  auto msvc = box.run({"bad.s", "/k", "--errors=msvc"});
  EXPECT_EQ(msvc.err, "bad.s(5,49): error: expected a float, found 'shiny'\n" + caret);
  EXPECT_EQ(msvc.out, gnu.out);
  EXPECT_EQ(msvc.status, 1);
}

TEST(ReadDiagnosis, BatchKeepsEachSourcesLinesInOrder) {
  Sandbox box;
  Sandbox::shipped_defs(box.work());
  box.put("a.s", kShininessWord);
  box.put("b.s", kWordInFaces);
  box.put("c.s", kShininessWord);
  auto r = box.run({"--batch", "--jobs=3", "a.s", "b.s", "c.s", "/k"});
  EXPECT_EQ(r.status, 1);
  const size_t a = r.err.find("a.s:5:49: error:");
  const size_t b = r.err.find("b.s:6:15: error: expected an unsigned number, found 'x'\n\t\tFaces ( 0 0 x )\n");
  const size_t c = r.err.find("c.s:5:49: error:");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  ASSERT_NE(c, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
}

}  // namespace
