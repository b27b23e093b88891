// Definition files that fail to load: standard output keeps its messages,
// standard error says which file, line and column, and what is wrong there.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::grammar;
using vxtest::Sandbox;

constexpr const char* kHeader = "FILE_TYPE = \"c\" .\nFILE_TYPE_VER = \"1\" .\n";

struct GrammarCase {
  const char16_t* body;   // after the two header lines
  const char* diagnosis;  // after "x.bnf:"
};

// Line 3 is the first line of `body`. Token names known: Box, Pair.
const GrammarCase kGrammarCases[] = {
    {u"FILE = :Box :Nowhere .\nEOF\n", "3:13: error: rule 'Nowhere' is not defined"},
    {u"FILE = :Thing .\nThing ==> :uint .\nEOF\n", "4:1: error: unknown token name 'Thing'"},
    {u"FILE = { :Box\nBox ==> :uint .\nEOF\n", "3:8: error: '{' is never closed"},
    {u"FILE = { :Box }\nBox ==> :uint .\nEOF\n", "4:1: error: missing full stop before the rule 'Box'"},
    {u"FILE = :INDEX(count) :uint,count .\nEOF\n", "3:15: error: label 'count' is used before it is defined"},
    {u"FILE = ( | :uint ) .\nEOF\n", "3:10: error: '|' right after an opening bracket"},
    {u"FILE = :uint ) .\nEOF\n", "3:14: error: ')' closes no bracket"},
    {u"FILE :uint .\nEOF\n", "3:6: error: expected '=' or '==>' after 'FILE', found ':uint'"},
    {u"FILE = :ARRAY ( ) .\nEOF\n", "3:8: error: :ARRAY holds nothing"},
    {u"FILE = :uint\n", "4:1: error: expected '.', found end of file"},
    {u"FILE = :uint .\nFILE = :sint .\nEOF\n", "4:1: error: rule 'FILE' is defined twice"},
    {u"Box ==> :uint .\nEOF\n", " error: no rule FILE"},
    // Columns count characters, a TAB as one.
    {u"FILE = \"\u00E9t\u00E9\"\t:Nowhere .\nEOF\n", "3:14: error: rule 'Nowhere' is not defined"},
};

TEST(DefinitionDiagnosis, AGrammarThatDoesNotParseIsDiagnosedAtTheFault) {
  for (const GrammarCase& c : kGrammarCases) {
    SCOPED_TRACE(c.diagnosis);
    Sandbox box;
    Sandbox::box_defs(box.work());
    box.put("x.bnf", vxtest::utf16le(vxtest::u16(kHeader) + c.body, true));
    auto r = box.run({});
    EXPECT_EQ(r.err, std::string("x.bnf:") + c.diagnosis + "\n");
    // Standard output is as it was: the message with the line, then usage.
    EXPECT_EQ(r.out.rfind("Error loading BNF definition file:\nx.bnf\n\nLine: ", 0), 0u);
    EXPECT_EQ(r.status, 0);
  }
}

TEST(DefinitionDiagnosis, ATypeValueOutOfRangeAndAMissingVersion) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("v.bnf", grammar("FILE_TYPE = \"v\" .\nFILE_TYPE_VER = 300 .\nFILE = :uint .\nEOF\n"));
  box.put("w.bnf", grammar("FILE_TYPE = \"w\" .\nFILE = :uint .\nEOF\n"));
  auto r = box.run({});
  EXPECT_EQ(r.err,
            "v.bnf:2:17: error: expected a number from 1 to 255 or a string of one character, found '300'\n"
            "w.bnf: error: no FILE_TYPE_VER given\n");
}

TEST(DefinitionDiagnosis, MsvcFormPutsLineAndColumnInBrackets) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("x.bnf", grammar(std::string(kHeader) + "FILE = :Box :Nowhere .\nEOF\n"));
  box.put("y.bnf", grammar("FILE_TYPE = \"y\" .\nFILE = :uint .\nEOF\n"));
  auto r = box.run({"--errors=msvc"});
  EXPECT_EQ(r.err, "x.bnf(3,13): error: rule 'Nowhere' is not defined\ny.bnf: error: no FILE_TYPE_VER given\n");
  EXPECT_EQ(box.run({"--errors=vim"}).status, 1);
}

struct TableCase {
  const char* file;
  const char* text;
  const char* out;  // standard output, as before
  const char* err;
};

const TableCase kTableCases[] = {
    {"sidn.txt", "enum {\n  SIDN_TEST = 0x0001,\n  SIDN_APP 0x0002,\n};\n",
     "Failed to load SIDN definitions file:\nsidn.txt\n", "sidn.txt:3:12: error: expected '=' after the range name\n"},
    {"sidn.txt", "  SIDN_TEST = 0x123456789\n", "Failed to load SIDN definitions file:\nsidn.txt\n",
     "sidn.txt:1:15: error: hexadecimal number of more than 8 digits\n"},
    {"app.h", "SID_DEFINE_FIRST_ID( SIDN_NONE )\nSIDDEF(ID_PAIR, \"Pair\")\n",
     "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n",
     "app.h:1:22: error: range name 'SIDN_NONE' is not defined in the SIDN file\n"},
    {"app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\nSIDDEF(ID_PAIR \"Pair\")\n",
     "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n",
     "app.h:2:16: error: expected ',' after the identifier\n"},
    {"app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\nSIDDEF ID_PAIR, \"Pair\")\n",
     "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n", "app.h:2:8: error: expected '(' after SIDDEF\n"},
    {"app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\n#include \"gone.h\"\n",
     "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n",
     "app.h:2:10: error: cannot open the included file 'gone.h'\n"},
    {"app.h", "SID_DEFINE_FIRST_ID(SIDN_APP)\n#include \"app.h\"\n",
     "Failed to load Kaldo token definition files:\ncore.h\napp.h\n\n",
     "app.h:2:10: error: includes nested more than 8 deep\n"},
    {"Vexlor.cfg", "COREIDS gone.h\n", "Failed to load Kaldo token definition files:\ngone.h\n\n\n",
     "gone.h: error: cannot be opened\n"},
    {"Vexlor.cfg", "APPIDS app.h\n", "Failed to load Kaldo token definition files:\n\napp.h\n\n",
     "Vexlor.cfg: error: no COREIDS line names the core token definition file\n"},
};

TEST(DefinitionDiagnosis, TheConfigurationSidnAndTokenDefinitionFiles) {
  for (const TableCase& c : kTableCases) {
    SCOPED_TRACE(c.text);
    Sandbox box;
    Sandbox::box_defs(box.work());
    box.put(c.file, c.text);
    auto r = box.run({});
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 1);
  }
}

TEST(DefinitionDiagnosis, AMissingConfigurationIsNamedWhereItWasLookedFor) {
  Sandbox box;
  auto r = box.run({});
  EXPECT_EQ(r.err, box.prog_text() + "Vexlor.cfg: error: cannot be opened\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
