// A grammar whose alternatives, or an optional part and what follows it,
// begin the same way in a binary body is named with a warning on standard
// error: once per grammar and run, only for the grammar a conversion uses.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::grammar;
using vxtest::Sandbox;

constexpr const char* kWarnings =
    "w.bnf:4:1: warning: in rule 'Box', an optional part and what follows it begin the same way in a binary "
    "file: the binary reader always takes the part\n"
    "w.bnf:5:1: warning: in rule 'Number', alternatives 1 and 2 begin the same way in a binary file: the binary "
    "reader always takes alternative 1\n";

void put_ambiguous_grammar(const Sandbox& box) {
  box.put("w.bnf", grammar("FILE_TYPE = \"w\" .\nFILE_TYPE_VER = \"1\" .\nFILE = { :Box } .\n"
                           "Box ==> :Number [ :uint ] :sint .\nNumber = :float | :uint .\nEOF\n"));
}

TEST(GrammarWarning, NamesEachRuleWhoseBinaryFormsBeginAlike) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  put_ambiguous_grammar(box);
  box.put("a.t", vxtest::text_token_file("w1", "\r\nBox ( 1.5 2 3 )\r\n"));
  auto r = box.run({"a.t", "/k"});
  EXPECT_EQ(r.err, kWarnings);
  EXPECT_EQ(r.out, "\nConverting a.t to compressed binary file  ...\n");
  EXPECT_EQ(r.status, 0);
}

TEST(GrammarWarning, ComesOncePerRunAndOnlyForTheGrammarInUse) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  put_ambiguous_grammar(box);
  box.put("a.t", vxtest::text_token_file("w1", "\r\nBox ( 1.5 2 )\r\n"));
  box.put("b.t", vxtest::text_token_file("w1", "\r\nBox ( 2.5 3 )\r\n"));
  box.put("c.t", vxtest::text_token_file("b1", "\r\nBox ( 7 )\r\n"));
  // Neither source matches (the optional part takes the number the :sint
  // needs): each read's diagnosis follows, the warnings come once.
  EXPECT_EQ(box.run({"--batch", "a.t", "b.t", "/k"}).err,
            std::string(kWarnings) +
                "a.t:2:13: error: expected a signed number, found ')'\nBox ( 1.5 2 )\n            ^\n"
                "b.t:2:13: error: expected a signed number, found ')'\nBox ( 2.5 3 )\n            ^\n");
  // box.bnf tells its alternatives apart: nothing to say.
  EXPECT_EQ(box.run({"c.t", "/k"}).err, "");
}

TEST(GrammarWarning, TokenIdsAndWordsWithoutIdsAreComparedAsTheBinaryFormHasThem) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  // Box and Pair have ids of their own; the words on and off have none, so
  // a binary body holds nothing for either.
  box.put("w.bnf", grammar("FILE_TYPE = \"w\" .\nFILE_TYPE_VER = \"1\" .\nFILE = :Box | :Pair .\n"
                           "Box ==> on | off .\nPair ==> :uint .\nEOF\n"));
  box.put("a.t", vxtest::text_token_file("w1", "\r\nBox ( on )\r\n"));
  auto r = box.run({"a.t", "/k"});
  EXPECT_EQ(r.err,
            "w.bnf:4:1: warning: in rule 'Box', alternatives 1 and 2 begin the same way in a binary file: the "
            "binary reader always takes alternative 1\n");
}

}  // namespace
