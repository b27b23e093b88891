#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "engine/engine_fixture.h"
#include "support/test_support.h"
#include "vexlor/vexlor.h"
#include "vexlor/vexlor_c.h"

namespace {

using vxtest::file_bytes;
using vxtest::source_path;

std::shared_ptr<const vexlor::Definitions> shipped() {
  vexlor::Error error;
  auto definitions = vexlor::Definitions::load({source_path("defs")}, &error);
  EXPECT_TRUE(definitions != nullptr) << error.message;
  return definitions;
}

vexlor::Node child_block(const vexlor::Node& block, const std::string& token) {
  for (const vexlor::Node& child : block.children()) {
    if (child.kind() == vexlor::NodeKind::kBlock && child.token_name() == token) return child;
  }
  return {};
}

TEST(Definitions, LoadFromADirectoryReadsEveryFileAndKnowsTheTokens) {
  auto definitions = shipped();
  ASSERT_TRUE(definitions);
  const std::vector<std::string> files = definitions->files();
  ASSERT_GE(files.size(), 5u);
  EXPECT_EQ(files[0], source_path("defs") + "/Vexlor.cfg");
  EXPECT_EQ(files[1], source_path("defs") + "/sidn.txt");
  EXPECT_NE(std::find(files.begin(), files.end(), source_path("defs") + "/shape.bnf"), files.end());
  const std::optional<std::uint32_t> mesh = definitions->token_id("mesh");  // names compare without case
  ASSERT_TRUE(mesh.has_value());
  EXPECT_EQ(definitions->token_name(*mesh), "Mesh");
  EXPECT_FALSE(definitions->token_id("NoSuchToken").has_value());
  EXPECT_EQ(definitions->grammars().size(), 2u);
}

TEST(Definitions, AFailedLoadSaysWhichFileWithTheProgramsMessage) {
  vxtest::TempDir empty;
  vexlor::Error error;
  EXPECT_EQ(vexlor::Definitions::load({empty.path().string()}, &error), nullptr);
  EXPECT_EQ(error.code, vexlor::ErrorCode::kConfiguration);
  EXPECT_EQ(error.file, empty.path().string() + "/Vexlor.cfg");
  EXPECT_EQ(error.message, "Failed to load configuration file:\n" + empty.path().string() + "/Vexlor.cfg\n");
  EXPECT_EQ(error.diagnosis.file, error.file);
  EXPECT_EQ(error.diagnosis.what, "cannot be opened");

  // Grammars that fail are passed over with the program's notice.
  std::filesystem::copy(source_path("defs"), empty.path(), std::filesystem::copy_options::recursive);
  vxtest::write_file(empty.path() / "broken.bnf", vxtest::utf16le(u"FILE_TYPE = \"q\" .\nFILE =", true));
  std::vector<vexlor::Notice> notices;
  auto definitions = vexlor::Definitions::load({empty.path().string()}, &error, &notices);
  ASSERT_TRUE(definitions) << error.message;
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].file, empty.path().string() + "/broken.bnf");
  EXPECT_EQ(notices[0].message, "Error loading BNF definition file:\n" + empty.path().string() + "/broken.bnf\n\nLine: " +
                                    std::to_string(notices[0].line) + "\n");
  EXPECT_EQ(notices[0].diagnosis.file, notices[0].file);
  EXPECT_EQ(notices[0].diagnosis.line, 0u);  // a fault of the whole file
  EXPECT_EQ(notices[0].diagnosis.what, "no FILE_TYPE_VER given");
}

TEST(Converter, WalksBlocksValuesAndArraysOfAFile) {
  auto definitions = shipped();
  vexlor::Converter converter(definitions);
  vexlor::Error error;
  std::optional<vexlor::Document> document = converter.read_file(source_path("examples/robot.s"), &error);
  ASSERT_TRUE(document) << error.message;
  EXPECT_EQ(document->source_form(), vexlor::Form::kText);
  EXPECT_EQ(document->file_type(), 's');
  EXPECT_EQ(document->file_version(), '1');
  const std::vector<vexlor::Node> top = document->top();
  ASSERT_EQ(top.size(), 1u);
  const vexlor::Node shape = top[0];
  EXPECT_EQ(shape.kind(), vexlor::NodeKind::kBlock);
  EXPECT_EQ(shape.token_name(), "Shape");
  EXPECT_EQ(shape.block_name(), "robot");
  EXPECT_EQ(shape.token_id(), definitions->token_id("Shape").value());

  // Info ( "Toy robot" 1 2 author "A. Maker" ): values in order, the
  // grammar's word among them, no name or brackets.
  const vexlor::Node info = child_block(shape, "Info");
  ASSERT_TRUE(info);
  EXPECT_EQ(info.block_name(), "");
  std::vector<std::pair<vexlor::NodeKind, std::string>> values;
  for (const vexlor::Node& value : info.children()) values.emplace_back(value.kind(), value.text());
  const std::vector<std::pair<vexlor::NodeKind, std::string>> expected{{vexlor::NodeKind::kString, "Toy robot"},
                                                                       {vexlor::NodeKind::kUint, "1"},
                                                                       {vexlor::NodeKind::kUint, "2"},
                                                                       {vexlor::NodeKind::kLiteral, "author"},
                                                                       {vexlor::NodeKind::kString, "A. Maker"}};
  EXPECT_EQ(values, expected);
  EXPECT_EQ(info.children()[2].bits(), 2u);

  // Vertices hold an array of float triples.
  const vexlor::Node body = child_block(child_block(shape, "Mesh"), "Vertices");
  ASSERT_TRUE(body);
  const std::vector<vexlor::Node> arrays = body.children();
  ASSERT_EQ(arrays.size(), 1u);
  EXPECT_EQ(arrays[0].kind(), vexlor::NodeKind::kArray);
  const std::vector<vexlor::Node> floats = arrays[0].children();
  ASSERT_EQ(floats.size(), 24u);
  EXPECT_EQ(floats[0].kind(), vexlor::NodeKind::kFloat);
  EXPECT_EQ(floats[0].text(), "-0.5");
  EXPECT_EQ(floats[0].as_float(), -0.5f);
  EXPECT_FALSE(floats[0].first_child());
}

TEST(Converter, WritesWhatTheProgramWritesToMemoryAndToFiles) {
  vexlor::Converter converter(shipped());
  std::optional<vexlor::Document> text = converter.read_file(source_path("examples/robot.s"));
  ASSERT_TRUE(text);
  vexlor::Error error;
  auto binary = converter.write_memory(*text, vexlor::Form::kBinary, vexlor::Compression::kZlib, &error);
  ASSERT_TRUE(binary) << error.message;

  // Read back from memory and written as text, the example comes back byte
  // for byte, as the program gives it back.
  std::optional<vexlor::Document> again = converter.read_memory(*binary, "robot.sb", &error);
  ASSERT_TRUE(again) << error.message;
  EXPECT_EQ(again->source_form(), vexlor::Form::kBinary);
  EXPECT_EQ(again->source_compression(), vexlor::Compression::kZlib);
  auto round = converter.write_memory(*again, vexlor::Form::kText, vexlor::Compression::kNone);
  ASSERT_TRUE(round);
  EXPECT_EQ(*round, file_bytes(source_path("examples/robot.s")));

  vxtest::TempDir dir;
  const std::string path = dir.str("robot.sb");
  ASSERT_TRUE(converter.write_file(*again, path, vexlor::Form::kBinary, vexlor::Compression::kZlib, &error));
  EXPECT_EQ(file_bytes(path), *binary);

  EXPECT_FALSE(converter.write_file(*again, dir.str("missing/robot.sb"), vexlor::Form::kBinary,
                                    vexlor::Compression::kNone, &error));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kCannotWrite);
  EXPECT_EQ(error.message, "Could not write to file " + dir.str("missing/robot.sb"));
}

TEST(Converter, WritesAndReadsJsonAsTheProgramDoes) {
  vexlor::Converter converter(shipped());
  std::optional<vexlor::Document> text = converter.read_file(source_path("examples/robot.s"));
  ASSERT_TRUE(text);
  vexlor::Error error;
  auto json = converter.write_memory(*text, vexlor::Form::kJson, vexlor::Compression::kNone, &error);
  ASSERT_TRUE(json) << error.message;
  ASSERT_FALSE(json->empty());
  EXPECT_EQ((*json)[0], '{');

  // Read back, the JSON is known for what it is and gives the same binary.
  std::optional<vexlor::Document> again = converter.read_memory(*json, "robot.json", &error);
  ASSERT_TRUE(again) << error.message;
  EXPECT_EQ(again->source_form(), vexlor::Form::kJson);
  EXPECT_EQ(converter.write_memory(*again, vexlor::Form::kBinary, vexlor::Compression::kNone),
            converter.write_memory(*text, vexlor::Form::kBinary, vexlor::Compression::kNone));

  vxtest::TempDir dir;
  ASSERT_TRUE(converter.write_file(*again, dir.str("robot.json"), vexlor::Form::kJson, vexlor::Compression::kNone));
  EXPECT_EQ(file_bytes(dir.str("robot.json")), *json);

  // Nothing compresses a JSON document, and nothing is written for asking.
  EXPECT_FALSE(converter.write_memory(*text, vexlor::Form::kJson, vexlor::Compression::kZlib, &error));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kInvalidArgument);
  EXPECT_FALSE(converter.write_file(*text, dir.str("packed.json"), vexlor::Form::kJson,
                                    vexlor::Compression::kHuffman, &error));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kInvalidArgument);
  EXPECT_FALSE(std::filesystem::exists(dir.str("packed.json")));
}

TEST(Converter, FailuresCarryWhatTheProgramPrints) {
  vexlor::Converter converter(shipped());
  vexlor::Error error;
  EXPECT_FALSE(converter.check_file("no_such_file.s", &error));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kCannotOpen);
  EXPECT_EQ(error.message, "Failed to load file no_such_file.s\n");

  // Line 3 holds a word where the version number belongs.
  const std::string bad = vxtest::utf16le(
      u"KALDOA@@@@@@@@@@TORV0s1t        \r\nShape bad (\r\n\tInfo ( \"x\" one 0 )\r\n)\r\n", true);
  const std::vector<std::uint8_t> bytes(bad.begin(), bad.end());
  EXPECT_FALSE(converter.check_memory(bytes, "bad.s", &error));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kReadFailed);
  EXPECT_EQ(error.position, 3u);
  EXPECT_EQ(error.message, "Error reading Kaldo token file: bad.s\n\nLine/offset: 3\nFailed to load file bad.s\n");
  // The diagnosis as data: where the body stops matching and what would have.
  const vexlor::ReadDiagnosis& d = error.read_diagnosis;
  EXPECT_EQ(d.reason, vexlor::ReadDiagnosis::Reason::kMismatch);
  EXPECT_FALSE(d.binary);
  EXPECT_EQ(d.line, 3u);
  EXPECT_EQ(d.column, 13u);
  EXPECT_EQ(d.source_line, "\tInfo ( \"x\" one 0 )");
  EXPECT_EQ(d.caret, 12u);
  EXPECT_EQ(d.expected, std::vector<std::string>{"an unsigned number"});
  EXPECT_EQ(d.found, "'one'");

  const std::string odd = "KALDOA@@@@@@@@@@TORV0z9b" + std::string(24, '\0');
  const std::vector<std::uint8_t> unknown(odd.begin(), odd.end());
  EXPECT_FALSE(converter.check_memory(unknown, "odd.zb", &error));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kNoGrammarForType);
  EXPECT_FALSE(error.read_diagnosis);
  EXPECT_EQ(error.diagnosis.what,
            "no grammar is loaded for type 'z' version '9'; the grammars loaded read type 's' version '1', "
            "type 'm' version '1'");
}

TEST(Converter, SourcesThatAreNoTokenFilesAndUnwritableTreesSayWhy) {
  vexlor::Converter converter(shipped());
  vexlor::Error error;
  auto check = [&](const std::string& file) {
    const std::vector<std::uint8_t> bytes(file.begin(), file.end());
    return converter.check_memory(bytes, "in.sb", &error);
  };
  EXPECT_FALSE(converter.check_file("no_such_file.s", &error));
  EXPECT_EQ(error.diagnosis.what, "no such file");
  EXPECT_FALSE(check("KALDOA@F\xff\xff\xff\x0f@@@@" + std::string(40, 'x')));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kCannotOpen);
  EXPECT_EQ(error.diagnosis.line, 0u);
  EXPECT_EQ(error.diagnosis.what, "the size field says 268435455 bytes, more than 40 bytes of zlib stream can inflate to");
  EXPECT_FALSE(check("KALDOA@@@@@@@@@@TORV0s1t" + std::string(40, '\0')));
  EXPECT_FALSE(error.diagnosis);
  EXPECT_TRUE(error.read_diagnosis);

  // A JSON header has a place to show.
  EXPECT_FALSE(check("{\"header\": {\"format\": \"0\", \"type\": \"s\", \"version\": \"1\",\n \"carried\": 7}}"));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kCannotOpen);
  EXPECT_FALSE(error.diagnosis);
  EXPECT_EQ(error.read_diagnosis.line, 2u);
  EXPECT_EQ(error.read_diagnosis.column, 13u);
  EXPECT_EQ(error.read_diagnosis.expected, std::vector<std::string>{"a string of 16 hexadecimal digits"});

  // A block name that fits a text but not a binary.
  const std::string name(300, 'n');
  const std::string text = vxtest::utf16le(
      vxtest::u16("KALDOA@@@@@@@@@@TORV0s1t        \r\nShape " + name +
                  " ( Info ( \"x\" 1 0 ) Mesh m ( Vertices ( 0 0 0 ) Faces ( 0 0 0 ) ) )\r\n"),
      true);
  std::optional<vexlor::Document> document =
      converter.read_memory(std::vector<std::uint8_t>(text.begin(), text.end()), "long.s", &error);
  ASSERT_TRUE(document) << error.message;
  EXPECT_FALSE(converter.write_memory(*document, vexlor::Form::kBinary, vexlor::Compression::kNone, &error));
  EXPECT_EQ(error.code, vexlor::ErrorCode::kWriteFailed);
  EXPECT_EQ(error.diagnosis.what, "the block name '" + std::string(40, 'n') +
                                      "...' of a 'Shape' block has 300 units; a binary block name holds at most 255");
}

TEST(CInterface, ReadsWalksWritesAndReportsErrors) {
  const std::string defs = source_path("defs");
  const char* dirs[] = {defs.c_str()};
  vexlor_error* error = nullptr;
  vexlor_definitions* definitions = vexlor_definitions_load(dirs, 1, &error);
  ASSERT_NE(definitions, nullptr) << vexlor_error_message(error);
  EXPECT_EQ(error, nullptr);

  vexlor_document* document = vexlor_read_file(definitions, source_path("examples/cube.s").c_str(), &error);
  ASSERT_NE(document, nullptr) << vexlor_error_message(error);
  vexlor_definitions_free(definitions);  // the document keeps what it needs
  EXPECT_EQ(vexlor_document_file_type(document), 's');
  vexlor_node shape = vexlor_document_first(document);
  ASSERT_TRUE(vexlor_node_valid(shape));
  EXPECT_EQ(vexlor_node_kind(shape), VEXLOR_NODE_BLOCK);
  char name[4];
  EXPECT_EQ(vexlor_node_token_name(shape, name, sizeof name), 5u);  // "Shape", cut to fit
  EXPECT_STREQ(name, "Sha");
  char block[16];
  vexlor_node_block_name(shape, block, sizeof block);
  EXPECT_STREQ(block, "cube");
  vexlor_node info = vexlor_node_first_child(shape);
  EXPECT_TRUE(vexlor_node_valid(vexlor_node_next(info)));
  EXPECT_FALSE(vexlor_node_valid(vexlor_node_next(vexlor_node_next(vexlor_node_next(info)))));

  void* bytes = nullptr;
  size_t size = 0;
  ASSERT_EQ(vexlor_write_memory(document, VEXLOR_FORM_BINARY, VEXLOR_COMPRESSION_NONE, &bytes, &size, &error), 1);
  EXPECT_GT(size, 16u);
  EXPECT_EQ(std::memcmp(bytes, "KALDOA@@", 8), 0);
  vexlor_bytes_free(bytes);
  vexlor_document_free(document);

  EXPECT_EQ(vexlor_read_file(nullptr, "x.s", &error), nullptr);
  EXPECT_EQ(vexlor_error_code(error), VEXLOR_E_INVALID_ARGUMENT);
  vexlor_error_free(error);
  const char* nowhere[] = {"/nonexistent-vexlor-dir"};
  EXPECT_EQ(vexlor_definitions_load(nowhere, 1, &error), nullptr);
  EXPECT_EQ(vexlor_error_code(error), VEXLOR_E_CONFIGURATION);
  EXPECT_STREQ(vexlor_error_file(error), "/nonexistent-vexlor-dir/Vexlor.cfg");
  vexlor_error_free(error);
}

}  // namespace
