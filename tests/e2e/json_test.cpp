// The JSON form: its exact layout, lossless round trips through it (the
// shipped examples, the readable files of the bad-input corpus), the choice
// of output form with --to, and malformed documents.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

namespace fs = std::filesystem;
using vxtest::grammar;
using vxtest::Sandbox;

void doc_defs(const fs::path& dir) {
  vxtest::write_file(dir / "Vexlor.cfg", "COREIDS core.h\n");
  vxtest::write_file(dir / "sidn.txt", "SIDN_T = 0x0007\n");
  vxtest::write_file(dir / "core.h", "SID_DEFINE_FIRST_ID(SIDN_T)\nSIDDEF(A, \"Doc\")\nSIDDEF(B, \"Part\")\nSIDDEF(C, \"label\")\n");
  vxtest::write_file(dir / "d.bnf", grammar("FILE_TYPE = \"d\" . FILE_TYPE_VER = \"1\" .\nFILE = { :Doc } .\n"
                                            "Doc ==> :sint :uint :dword :byte [ label :string ] [ :token ] { :Part } .\n"
                                            "Part ==> :uint [ :ARRAY ( :float :float ) ] .\nEOF\n"));
}

// The text body; the string holds U+00E9 and U+1F600 (a surrogate pair).
const std::u16string kDocText =
    u"Doc \"d 1\" ( -5 007 2a ff label \"a\\\"b\\\\c\\td\u00e9\U0001F600\" Part"
    u" Part ( 9 1.5 -0 nan -inf 0.1 3e10 ) Part ( 10 ) ) Doc ( 0 0 0 0 Doc Part ( 1 ) )";

const std::string kDocJson =
    "{\n"
    "  \"header\": {\"format\": \"0\", \"type\": \"d\", \"version\": \"1\", \"carried\": \"2020202020202020\"},\n"
    "  \"content\": [\n"
    "    {\"token\": \"Doc\", \"name\": \"d 1\", \"content\": [\n"
    "      -5,\n"
    "      7,\n"
    "      \"0000002a\",\n"
    "      \"ff\",\n"
    "      \"label\",\n"
    "      \"a\\\"b\\\\c\\td\xC3\xA9\xF0\x9F\x98\x80\",\n"
    "      \"Part\",\n"
    "      {\"token\": \"Part\", \"content\": [\n"
    "        9,\n"
    "        [\n"
    "          1.5, -0, \"nan\", \"-inf\", 0.1, 3e+10\n"
    "        ]\n"
    "      ]},\n"
    "      {\"token\": \"Part\", \"content\": [\n"
    "        10\n"
    "      ]}\n"
    "    ]},\n"
    "    {\"token\": \"Doc\", \"content\": [\n"
    "      0,\n"
    "      0,\n"
    "      \"00000000\",\n"
    "      \"00\",\n"
    "      \"Doc\",\n"
    "      {\"token\": \"Part\", \"content\": [\n"
    "        1\n"
    "      ]}\n"
    "    ]}\n"
    "  ]\n"
    "}\n";

struct DocSandbox : Sandbox {
  DocSandbox() {
    doc_defs(work());
    put("doc.t", vxtest::utf16le(vxtest::u16(vxtest::kPlainHeader + "TORV0d1t        ") + kDocText, true));
  }
};

TEST(Json, DocumentHasItsFixedLayout) {
  DocSandbox box;
  auto r = box.run({"doc.t", "--to=json", "/o:doc.json"});
  EXPECT_EQ(r.out, "\nConverting doc.t to JSON file doc.json ...\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(box.get("doc.json"), kDocJson);
  // The same document from its binary form, and to standard output.
  ASSERT_EQ(box.run({"doc.t", "/o:doc.b"}).status, 0);
  ASSERT_EQ(box.run({"doc.b", "--to=json", "/o:again.json"}).status, 0);
  EXPECT_EQ(box.get("again.json"), kDocJson);
  r = box.run({"doc.b", "--to=json", "/o:-"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kDocJson);
}

TEST(Json, ReadsBackToTheSameBinary) {
  DocSandbox box;
  ASSERT_EQ(box.run({"doc.t", "/u", "/o:doc.b"}).status, 0);
  box.put("doc.json", kDocJson);
  // A JSON source becomes a compressed binary by default.
  auto r = box.run({"doc.json", "/o:json.b"});
  EXPECT_EQ(r.out, "\nConverting doc.json to compressed binary file json.b ...\n");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(box.run({"doc.json", "/u", "/o:plain.b"}).status, 0);
  EXPECT_EQ(box.get("plain.b"), box.get("doc.b"));
  EXPECT_EQ(vxtest::inflate_body(box.get("json.b")), box.get("doc.b").substr(16));

  // Told by its content, not its name; a byte-order mark, other blanks,
  // header bytes as numbers, escapes and carried bytes are kept or undone.
  std::string other = kDocJson;
  other.replace(other.find("\"type\": \"d\""), 11, "\"type\": 100");
  other.replace(other.find("2020202020202020"), 16, "00ff20414243447e");
  other.replace(other.find("\"d 1\""), 5, "\"\\u0064 \\u0031\"");
  box.put("other.t", "\xEF\xBB\xBF \r\n\t" + other);
  ASSERT_EQ(box.run({"other.t", "/u", "/o:other.b"}).status, 0);
  std::string expected = box.get("doc.b");
  expected.replace(24, 8, std::string("\x00\xff\x20\x41\x42\x43\x44\x7e", 8));
  EXPECT_EQ(box.get("other.b"), expected);
  ASSERT_EQ(box.run({"other.b", "--to=json", "/o:other.json"}).status, 0);
  std::string carried = kDocJson;
  carried.replace(carried.find("2020202020202020"), 16, "00ff20414243447e");
  EXPECT_EQ(box.get("other.json"), carried);
}

TEST(Json, ToChoosesTheOutputForm) {
  DocSandbox box;
  // A text rewritten in the program's layout, uncompressed unless /c.
  auto r = box.run({"doc.t", "--to=text", "/o:re.t"});
  EXPECT_EQ(r.out, "\nConverting doc.t to text file re.t ...\n");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(box.run({"doc.t", "/o:doc.b"}).status, 0);
  ASSERT_EQ(box.run({"doc.b", "/o:back.t"}).status, 0);
  EXPECT_EQ(box.get("re.t"), box.get("back.t"));
  ASSERT_EQ(box.run({"doc.t", "--to=text", "/c", "/o:packed.t"}).status, 0);
  EXPECT_FALSE(vxtest::inflate_body(box.get("packed.t")).empty());
  // A binary recompressed, decompressed, and JSON turned into text.
  r = box.run({"doc.b", "--to=binary", "/u", "/o:plain.b"});
  EXPECT_EQ(r.out, "\nConverting doc.b to binary file plain.b ...\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(vxtest::kPlainHeader + vxtest::inflate_body(box.get("doc.b")), box.get("plain.b"));
  ASSERT_EQ(box.run({"plain.b", "--to=binary", "/o:again.b"}).status, 0);
  EXPECT_EQ(box.get("again.b"), box.get("doc.b"));
  box.put("doc.json", kDocJson);
  r = box.run({"doc.json", "--to=text", "/o:json.t"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(box.get("json.t"), box.get("back.t"));
  ASSERT_EQ(box.run({"doc.json", "--to=json", "/u", "/o:same.json"}).status, 0);
  EXPECT_EQ(box.get("same.json"), kDocJson);

  // JSON is never compressed: /c is refused before anything is read.
  r = box.run({"doc.t", "--to=json", "/c", "/o:x.json"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "JSON output is never compressed: /c with --to=json\n");
  EXPECT_FALSE(box.has("x.json"));
  r = box.run({"doc.t", "--to=xml", "/o:x.xml"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Unknown output form (text, binary or json): --to=xml\n");
}

TEST(Json, MalformedDocumentsAreReadErrors) {
  DocSandbox box;
  auto replaced = [](const std::string& from, const std::string& to) {
    std::string json = kDocJson;
    json.replace(json.find(from), from.size(), to);
    return json;
  };
  struct Bad {
    const char* why;
    std::string json;
    unsigned line;
  };
  const Bad kBad[] = {
      {"missing comma", replaced("      7,\n", "      7\n"), 7},
      {"trailing comma", replaced("        10\n", "        10,\n"), 20},
      {"wrong token", replaced("\"token\": \"Part\", \"content\": [\n        10", "\"token\": \"Pert\", \"content\": [\n        10"), 18},
      {"number for a string", replaced("\"a\\\"b", "1, \"a\\\"b"), 10},
      {"uint out of range", replaced("      7,\n", "      4294967296,\n"), 6},
      {"negative uint", replaced("      7,\n", "      -7,\n"), 6},
      {"fraction for an int", replaced("      -5,\n", "      -5.0,\n"), 5},
      {"dword too long", replaced("\"0000002a\"", "\"00000002a\""), 7},
      {"null", replaced("      7,\n", "      null,\n"), 6},
      {"bad escape", replaced("\\tdé", "\\qdé"), 10},
      {"zero unit", replaced("\\tdé", "\\u0000dé"), 10},
      {"invalid UTF-8", replaced("\xC3\xA9", "\xC3\x28"), 10},
      {"leading zero", replaced("        9,\n", "        09,\n"), 13},
      {"content left over", replaced("  ]\n}\n", "  ],\n  1\n}\n"), 32},
      {"text behind", kDocJson + "x", 34},
      {"cut short", kDocJson.substr(0, kDocJson.find("1.5")), 15},
  };
  for (const Bad& bad : kBad) {
    SCOPED_TRACE(bad.why);
    box.put("bad.t", bad.json);
    auto r = box.run({"bad.t", "/o:bad.b"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error reading Kaldo token file: bad.t\n\nLine/offset: " + std::to_string(bad.line) +
                         "\nFailed to load file bad.t\n");
    EXPECT_EQ(r.err.rfind("bad.t:", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(": error: "), std::string::npos) << r.err;
    EXPECT_FALSE(box.has("bad.b"));
  }
  // What the diagnosis says at the place: the item the grammar wanted, or the
  // comma a list lacks, and what stood there, with the line and a caret.
  box.put("bad.t", replaced("\"token\": \"Part\", \"content\": [\n        10", "\"token\": \"Pert\", \"content\": [\n        10"));
  const std::string pert = box.run({"bad.t", "/k"}).err;
  EXPECT_NE(pert.find(": error: expected 'Part', found '\"Pert\"'\n"), std::string::npos) << pert;
  EXPECT_NE(pert.find("\"Pert\""), pert.rfind("\"Pert\""));  // the line is shown
  EXPECT_NE(pert.find("^\n"), std::string::npos);
  box.put("bad.t", replaced("      7,\n", "      7\n"));
  EXPECT_NE(box.run({"bad.t", "/k"}).err.find(": error: expected ',', found "), std::string::npos);

  // A malformed header is no token file at all; the diagnosis says where it
  // stops reading and what it needs there.
  box.put("bad.t", replaced("\"carried\": \"2020202020202020\"", "\"carried\": \"20\""));
  auto r = box.run({"bad.t", "/o:bad.b"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Failed to load file bad.t\n");
  const std::string header_line =
      "  \"header\": {\"format\": \"0\", \"type\": \"d\", \"version\": \"1\", \"carried\": \"20\"},\n";
  EXPECT_EQ(r.err, "bad.t:2:69: error: expected a string of 16 hexadecimal digits, found '\"20\"'\n" + header_line +
                       std::string(68, ' ') + "^\n");
  box.put("bad.t", replaced("\"format\": \"0\"", "\"format\": \"1\""));
  auto first_line = [](const std::string& text) { return text.substr(0, text.find('\n') + 1); };
  EXPECT_EQ(first_line(box.run({"bad.t", "/k"}).err),
            "bad.t:2:24: error: expected a format of at most '0', found '\"1\"'\n");
  box.put("bad.t", replaced("\"type\": \"d\",", "\"type\": \"d\""));
  EXPECT_EQ(first_line(box.run({"bad.t", "/k"}).err), "bad.t:2:41: error: expected ',', found '\"version\"'\n");
}

// Every shipped example and every file of the bad-input corpus that reads
// and that the binary form holds: source → JSON → binary gives the binary of
// source → binary (the text form loses a carriage return in a string, JSON
// does not), but for a NaN's payload, which JSON drops as the text does; and
// the JSON of a source and of its binary are the same.
TEST(Json, RoundTripsAreLossless) {
  Sandbox box;
  Sandbox::shipped_defs(box.work());
  std::vector<fs::path> sources;
  for (const auto& entry : fs::directory_iterator(vxtest::source_root() / "examples")) {
    if (entry.is_regular_file()) sources.push_back(entry.path());
  }
  for (const char* dir : {"text", "binary"}) {
    for (const auto& entry : fs::directory_iterator(vxtest::source_root() / "tests" / "bad_input" / dir)) {
      sources.push_back(entry.path());
    }
  }
  int read = 0;
  for (const fs::path& source : sources) {
    SCOPED_TRACE(source.string());
    const std::string src = "src" + source.extension().string();
    fs::copy_file(source, box.work() / src, fs::copy_options::overwrite_existing);
    // A block name of 256 units reads, but no binary holds it.
    if (box.run({src, "--to=binary", "/u", "/o:direct.b"}).status != 0) continue;
    ++read;
    ASSERT_EQ(box.run({src, "--to=json", "/o:src.json"}).status, 0);
    ASSERT_EQ(box.run({"src.json", "/u", "/o:json.b"}).status, 0);
    if (source.filename() == "nan_vertices.sb") {
      ASSERT_EQ(box.run({src, "--to=text", "/o:src.t"}).status, 0);
      ASSERT_EQ(box.run({"src.t", "/u", "/o:text.b"}).status, 0);
      EXPECT_EQ(box.get("json.b"), box.get("text.b"));
      EXPECT_NE(box.get("json.b"), box.get("direct.b"));
    } else {
      EXPECT_EQ(box.get("json.b"), box.get("direct.b"));
    }
    ASSERT_EQ(box.run({"direct.b", "--to=json", "/o:bin.json"}).status, 0);
    EXPECT_EQ(box.get("bin.json"), box.get("src.json"));
    ASSERT_EQ(box.run({"bin.json", "/u", "/o:again.b"}).status, 0);
    EXPECT_EQ(box.get("again.b"), box.get("json.b"));
  }
  EXPECT_GE(read, 10);
}

}  // namespace
