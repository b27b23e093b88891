// The conversion driver: output naming, compression, the progress line and
// every failure message, with the exact bytes written.
#include <gtest/gtest.h>

#include <initializer_list>

#include "common/report.h"
#include "container/fioshare.h"
#include "e2e/sandbox.h"

namespace {

namespace fs = std::filesystem;
using vxtest::Sandbox;

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// Box ( 5 ) in its two forms.
const std::string kBoxText = vxtest::text_token_file("b1", "\r\nBox ( 5 )\r\n");
const std::string kBoxBody = "TORV0b1b        " + bytes({0x01, 0x00, 0x01, 0x00,  // token id of Box
                                                          0x05, 0x00, 0x00, 0x00,  // block size
                                                          0x00,                    // no block name
                                                          0x05, 0x00, 0x00, 0x00});
const std::string kBoxBinary = vxtest::kPlainHeader + kBoxBody;

struct BoxSandbox : Sandbox {
  BoxSandbox() {
    box_defs(work());
    put("box.t", kBoxText);
    put("box.bin", kBoxBinary);
  }
};

TEST(Convert, TextSourceGivesCompressedBinaryByDefault) {
  BoxSandbox box;
  auto r = box.run({"box.t", "/o:out.bin"});
  EXPECT_EQ(r.out, "\nConverting box.t to compressed binary file out.bin ...\n");
  EXPECT_EQ(r.status, 0);
  std::string out = box.get("out.bin");
  ASSERT_GE(out.size(), 16u);
  EXPECT_EQ(out.substr(0, 8), "KALDOA@F");
  EXPECT_EQ(out.substr(8, 4), bytes({static_cast<int>(kBoxBody.size()), 0, 0, 0}));
  EXPECT_EQ(out.substr(12, 4), "@@@@");
  EXPECT_EQ(vxtest::inflate_body(out), kBoxBody);
}

TEST(Convert, TextSourceWithUncompressOptionGivesPlainBinary) {
  BoxSandbox box;
  auto r = box.run({"box.t", "/u", "/o:out.bin"});
  EXPECT_EQ(r.out, "\nConverting box.t to binary file out.bin ...\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(box.get("out.bin"), kBoxBinary);
}

TEST(Convert, BinarySourceGivesPlainTextByDefault) {
  BoxSandbox box;
  auto r = box.run({"box.bin", "/o:out.t"});
  EXPECT_EQ(r.out, "\nConverting box.bin to text file out.t ...\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(box.get("out.t"), kBoxText);
}

TEST(Convert, BinarySourceWithCompressOptionGivesCompressedText) {
  BoxSandbox box;
  auto r = box.run({"box.bin", "/c", "/o:out.t"});
  EXPECT_EQ(r.out, "\nConverting box.bin to compressed text file out.t ...\n");
  EXPECT_EQ(r.status, 0);
  std::string out = box.get("out.t");
  // The UTF-16 header form: each header byte one unit.
  ASSERT_GE(out.size(), 34u);
  EXPECT_EQ(out.substr(0, 18), vxtest::utf16le(u"KALDOA@F", true));
  EXPECT_EQ(vxtest::inflate_body(out), kBoxText.substr(34));
}

TEST(Convert, TheLaterCompressionOptionWins) {
  BoxSandbox box;
  box.run({"box.t", "/c", "/u", "/o:plain.bin"});
  box.run({"box.t", "/u", "/c", "/o:packed.bin"});
  EXPECT_EQ(box.get("plain.bin"), kBoxBinary);
  EXPECT_EQ(vxtest::inflate_body(box.get("packed.bin")), kBoxBody);
}

TEST(Convert, CheckOnlyLoadsPrintsAndWritesNothing) {
  BoxSandbox box;
  auto before = fs::directory_iterator(box.work());
  size_t files = std::distance(before, fs::directory_iterator());
  auto r = box.run({"box.t", "/k"});
  EXPECT_EQ(r.out, "\nConverting box.t to compressed binary file  ...\n");
  EXPECT_EQ(r.status, 0);
  r = box.run({"box.bin", "/k"});
  EXPECT_EQ(r.out, "\nConverting box.bin to text file  ...\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(box.work()), fs::directory_iterator()), files);
}

TEST(Convert, CheckOptionWithAnOutputStillConverts) {
  BoxSandbox box;
  auto r = box.run({"box.t", "/k", "/u", "/o:out.bin"});
  EXPECT_EQ(r.out, "\nConverting box.t to binary file out.bin ...\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(box.get("out.bin"), kBoxBinary);
}

TEST(Convert, BlockNamesAndStringsSurviveBothWays) {
  BoxSandbox box;
  std::string text = vxtest::text_token_file("b1", "\r\nBox lid ( 7 name \"two words\" )\r\nBox ( 8 )\r\n");
  box.put("named.t", text);
  ASSERT_EQ(box.run({"named.t", "/u", "/o:named.bin"}).status, 0);
  EXPECT_EQ(box.get("named.bin"),
            vxtest::kPlainHeader + "TORV0b1b        " +
                bytes({0x01, 0x00, 0x01, 0x00, 0x1f, 0, 0, 0, 3, 'l', 0, 'i', 0, 'd', 0, 7, 0, 0, 0, 9, 0}) +
                vxtest::utf16le(u"two words") +
                bytes({0x01, 0x00, 0x01, 0x00, 0x05, 0, 0, 0, 0, 8, 0, 0, 0}));
  ASSERT_EQ(box.run({"named.bin", "/o:back.t"}).status, 0);
  EXPECT_EQ(box.get("back.t"), text);
}

TEST(Convert, SourcesWithoutContainerHeader) {
  BoxSandbox box;
  // A binary body on its own (34 bytes at least, like every token file), and
  // a text body after an 8-bit body header.
  std::string box6 = bytes({0x01, 0x00, 0x01, 0x00, 0x05, 0, 0, 0, 0, 6, 0, 0, 0});
  box.put("bare.bin", kBoxBody + box6);
  box.put("bare.t", "TORV0b1t        " + vxtest::utf16le(u"\xFEFF\r\nBox ( 5 )\r\n"));
  auto r = box.run({"bare.bin", "/o:from_bin.t"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(box.get("from_bin.t"), vxtest::text_token_file("b1", "\r\nBox ( 5 )\r\nBox ( 6 )\r\n"));
  r = box.run({"bare.t", "/u", "/o:from_text.bin"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(box.get("from_text.bin"), kBoxBinary);
}

TEST(OutputNaming, CompletesTheOutputNameFromTheSourceBaseName) {
  BoxSandbox box;
  fs::create_directory(box.work() / "sub");
  fs::create_directory(box.work() / "src");
  box.put("src/box.t", kBoxText);
  struct Case {
    std::string source, option, shown, written;
  };
  const std::string abs = fs::canonical(box.work()).string();
  const std::string win = vxtest::wine_path(fs::canonical(box.work()));
  // The Windows build takes "\\" and drive-letter paths.
  const std::vector<Case> windows_cases = {
      {"box.t", "/o:.bin", "box.bin", "box.bin"},
      {"src\\box.t", "/o:sub\\.bin", "sub\\box.bin", "sub/box.bin"},
      {"box.t", "/o:" + win + "\\sub\\.b3", win + "\\sub\\box.b3", "sub/box.b3"},
      {win + "\\src\\box.t", "/o:" + win + "\\sub\\.b4", win + "\\sub\\box.b4", "sub/box.b4"},
  };
  const std::vector<Case> posix_cases = {
      {"box.t", "/o:named.bin", "named.bin", "named.bin"},
      {"box.t", "/o:.bin", "box.bin", "box.bin"},
      {"src/box.t", "/o:.b2", "box.b2", "box.b2"},
      {"src/box.t", "/o:sub/.bin", "sub/box.bin", "sub/box.bin"},
      {"box.t", "/o:" + abs + "/sub/.b3", abs + "/sub/box.b3", "sub/box.b3"},
      {abs + "/src/box.t", "/o:" + abs + "/sub/.b4", abs + "/sub/box.b4", "sub/box.b4"},
  };
  for (const auto& c : vxtest::windows_build() ? windows_cases : posix_cases) {
    auto r = box.run({c.source, "/u", c.option});
    EXPECT_EQ(r.out, "\nConverting " + c.source + " to binary file " + c.shown + " ...\n") << c.option;
    EXPECT_EQ(r.status, 0) << c.option;
    EXPECT_EQ(box.get(c.written), kBoxBinary) << c.option;
  }
}

TEST(OutputNaming, ADirectoryNameWithTrailingSeparatorWarnsAndWrites) {
  BoxSandbox box;
  fs::create_directory(box.work() / "sub");
  auto r = box.run({"box.t", "/u", "/o:sub/"});
  EXPECT_EQ(r.out,
            "\nConverting box.t to binary file sub/box ...\n"
            "Warning: No file extension specified\n\nSave operation will continue..");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(box.get("sub/box"), kBoxBinary);
}

TEST(OutputNaming, ANameWithoutExtensionWarnsAndWrites) {
  BoxSandbox box;
  auto r = box.run({"box.t", "/o:out"});
  EXPECT_EQ(r.out,
            "\nConverting box.t to compressed binary file out ...\n"
            "Warning: No file extension specified\n\nSave operation will continue..");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(vxtest::inflate_body(box.get("out")), kBoxBody);
}

TEST(OutputNaming, ADirectoryNameWithoutSeparatorIsTakenAsTheFileName) {
  BoxSandbox box;
  fs::create_directory(box.work() / "sub");
  auto r = box.run({"box.t", "/o:sub"});
  EXPECT_EQ(r.out,
            "\nConverting box.t to compressed binary file sub ...\n"
            "Warning: No file extension specified\n\nSave operation will continue.."
            "Could not write to file sub");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, SourceWithoutBaseName) {
  BoxSandbox box;
  box.put(".t", kBoxText);
  auto r = box.run({".t", "/o:.bin"});
  EXPECT_EQ(r.out, "Invalid filename specified");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, NameLongerThan259UnitsIsRefused) {
  BoxSandbox box;
  for (auto args : {std::vector<std::string>{std::string(260, 'a') + ".t", "/k"},
                    std::vector<std::string>{"box.t", "/o:" + std::string(260, 'a') + ".bin"}}) {
    auto r = box.run(args);
    EXPECT_EQ(r.out, "Invalid filename specified");
    EXPECT_EQ(r.status, 1);
  }
}

TEST(Failures, ExtensionLongerThan127UnitsIsRefused) {
  BoxSandbox box;
  auto r = box.run({"box.t", "/o:." + std::string(127, 'x')});
  EXPECT_EQ(r.out, "Invalid filename specified");
  EXPECT_EQ(r.status, 1);
  r = box.run({"box.t", "/u", "/o:." + std::string(126, 'x')});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(box.get("box." + std::string(126, 'x')), kBoxBinary);
}

TEST(Failures, SourceThatCannotBeOpened) {
  BoxSandbox box;
  auto r = box.run({"missing.t", "/o:.bin"});
  EXPECT_EQ(r.out, "Failed to load file missing.t\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, SourceWithAWrongBodyHeader) {
  BoxSandbox box;
  box.put("wrong.t", vxtest::utf16le(vxtest::u16(vxtest::kPlainHeader + "TORX0b1t        \r\nBox ( 5 )\r\n"), true));
  auto r = box.run({"wrong.t", "/k"});
  EXPECT_EQ(r.out, "Failed to load file wrong.t\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, NoGrammarForTheTypeAndVersion) {
  BoxSandbox box;
  box.put("other.t", vxtest::text_token_file("b2", "\r\nBox ( 5 )\r\n"));
  auto r = box.run({"other.t", "/o:.bin"});
  EXPECT_EQ(r.out, "No BNF file loaded for this file type or type versionFailed to load file other.t\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, TextThatDoesNotMatchTheGrammarNamesTheLine) {
  BoxSandbox box;
  box.put("bad.t", vxtest::text_token_file("b1", "\r\nBox (\r\n\r\nx )\r\n"));
  auto r = box.run({"bad.t", "/o:.bin"});
  EXPECT_EQ(r.out, "Error reading Kaldo token file: bad.t\n\nLine/offset: 4\nFailed to load file bad.t\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(box.has("bad.bin"));
}

TEST(Failures, BinaryThatDoesNotMatchTheGrammarNamesTheOffset) {
  BoxSandbox box;
  std::string wrong_id = kBoxBinary;
  wrong_id[16 + 16] = 0x02;  // a token id no grammar rule has
  box.put("bad.bin", wrong_id);
  auto r = box.run({"bad.bin", "/o:.t"});
  EXPECT_EQ(r.out, "Error reading Kaldo token file: bad.bin\n\nLine/offset: 16\nFailed to load file bad.bin\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, SourceWithoutExtensionCannotBeRead) {
  BoxSandbox box;
  box.put("noext", kBoxText);
  auto r = box.run({"noext", "/o:out.bin"});
  EXPECT_EQ(r.out, "Error reading Kaldo token file: noext\n\nLine/offset: 0\nFailed to load file noext\n");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, OutputThatCannotBeCreated) {
  BoxSandbox box;
  auto r = box.run({"box.t", "/o:nowhere/.bin"});
  EXPECT_EQ(r.out,
            "\nConverting box.t to compressed binary file nowhere/box.bin ...\n"
            "Could not write to file nowhere/box.bin");
  EXPECT_EQ(r.status, 1);
}

TEST(Failures, WriterThatCannotEncodeTheTree) {
  BoxSandbox box;
  // A block name holds at most 255 units in a binary body.
  box.put("long.t", vxtest::text_token_file("b1", "\r\nBox " + std::string(256, 'n') + " ( 5 )\r\n"));
  auto r = box.run({"long.t", "/o:.bin"});
  EXPECT_EQ(r.out,
            "\nConverting long.t to compressed binary file long.bin ...\n"
            "Error while writing file long.bin\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(box.has("long.bin"));
}

// The program writes marks "@" and "F" only, but reads mark "B" too.
void write_huffman_file(const fs::path& path, const std::string& body, bool unicode) {
  std::u16string name = vxtest::u16(path.string());
  sReporter rep;
  sFioShareFile* stream = fioshare_file_open(rep, name.c_str(), FIO_WRITE, FIO_COMP_HUFF, unicode ? 1 : 0);
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(fioshare_write(stream, body.data(), static_cast<sUInt>(body.size())), body.size());
  ASSERT_EQ(fioshare_file_close(stream), 1);
}

TEST(Convert, SourcesCompressedWithMarkB) {
  BoxSandbox box;
  write_huffman_file(box.work() / "huff.bin", kBoxBody, false);
  write_huffman_file(box.work() / "huff.t", kBoxText.substr(34), true);
  ASSERT_EQ(box.get("huff.bin").substr(0, 8), "KALDOA@B");
  auto r = box.run({"huff.bin", "/o:out.t"});
  EXPECT_EQ(r.out, "\nConverting huff.bin to text file out.t ...\n");
  EXPECT_EQ(box.get("out.t"), kBoxText);
  r = box.run({"huff.t", "/u", "/o:out.bin"});
  EXPECT_EQ(r.out, "\nConverting huff.t to binary file out.bin ...\n");
  EXPECT_EQ(box.get("out.bin"), kBoxBinary);
}

TEST(Convert, CompressedTextReadsBack) {
  BoxSandbox box;
  ASSERT_EQ(box.run({"box.bin", "/c", "/o:packed.t"}).status, 0);
  auto r = box.run({"packed.t", "/u", "/o:again.bin"});
  EXPECT_EQ(r.out, "\nConverting packed.t to binary file again.bin ...\n");
  EXPECT_EQ(box.get("again.bin"), kBoxBinary);
}

}  // namespace
