// --dump: the block structure of a binary token file, with the token names
// of the definitions or without any definitions, damaged sizes marked.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/sandbox.h"

namespace {

using vxtest::Sandbox;
namespace fs = std::filesystem;

std::string le32(unsigned v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
          static_cast<char>(v >> 24)};
}

// A plain container with a binary body of type "b" version "1".
std::string binary_file(const std::string& blocks) { return vxtest::kPlainHeader + "TORV0b1b        " + blocks; }

// Box 7, then Box 9 named "hi", as the writer makes them for box.bnf.
const std::string kTwoBoxes = binary_file(le32(0x00010001) + le32(5) + std::string(1, '\0') + le32(7) +
                                          le32(0x00010001) + le32(9) + std::string("\x02h\0i\0", 5) + le32(9));

constexpr const char* kHeaderLines =
    "container: 8-bit header, mark '@' (plain), body of %u bytes\n"
    "body header: \"TORV0b1b        \": type 'b' version '1' form binary\n";

std::string header_lines(size_t body) {
  char text[256];
  std::snprintf(text, sizeof text, kHeaderLines, static_cast<unsigned>(body));
  return text;
}

TEST(Dump, ShowsEveryBlockWithItsTokenNameSizeNameAndContent) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("two.b", kTwoBoxes);
  auto r = box.run({"--dump", "two.b"});
  EXPECT_EQ(r.out, header_lines(kTwoBoxes.size() - 16) +
                       "@16 block Box (0x00010001) size 5\n"
                       "  @25 07 00 00 00                                     | 7\n"
                       "@29 block Box (0x00010001) size 9 name \"hi\"\n"
                       "  @42 09 00 00 00                                     | 9\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Dump, WorksWithoutDefinitionsAndShowsIdsWithoutNames) {
  Sandbox box;
  box.put("two.b", kTwoBoxes);
  auto r = box.run({"--dump", "two.b"});
  EXPECT_EQ(r.out, header_lines(kTwoBoxes.size() - 16) +
                       "@16 block 0x00010001 size 5\n"
                       "  @25 07 00 00 00                                     | 7\n"
                       "@29 block 0x00010001 size 9 name \"hi\"\n"
                       "  @42 09 00 00 00                                     | 9\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Dump, MarksSizesThatRunPastTheParentOrTheBody) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  // An outer Box of 22 bytes holding a Box whose size claims 40; after it,
  // a Box whose size runs 100 bytes past the end of the body.
  const std::string inner = le32(0x00010001) + le32(40) + std::string(1, '\0') + le32(1);
  const std::string outer = le32(0x00010001) + le32(22) + std::string(1, '\0') + inner + std::string(8, '\0');
  const std::string last = le32(0x00010001) + le32(105) + std::string(1, '\0') + le32(0x3FC00000);
  const std::string file = binary_file(outer + last);
  box.put("bad.b", file);
  auto r = box.run({"--dump", "bad.b"});
  EXPECT_EQ(r.out, header_lines(file.size() - 16) +
                       "@16 block Box (0x00010001) size 22\n"
                       "  @25 block Box (0x00010001) size 40 !! runs 27 bytes past its parent\n"
                       "    @34 01 00 00 00 00 00 00 00 00 00 00 00             | 1 0 0\n"
                       "@46 block Box (0x00010001) size 105 !! runs 100 bytes past the body\n"
                       "  @55 00 00 c0 3f                                     | 1.5f\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Dump, ABlockNameStaysOnItsLine) {
  Sandbox box;
  const std::string file = binary_file(le32(0x00010001) + le32(7) + std::string("\x03" "a\0\n\0\"\0", 7));
  box.put("named.b", file);
  auto r = box.run({"--dump", "named.b"});
  EXPECT_EQ(r.out, header_lines(file.size() - 16) + "@16 block 0x00010001 size 7 name \"a\\x0A\\\"\"\n");
}

TEST(Dump, ATextFileOrNoTokenFileIsSaidToBeSo) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("a.t", vxtest::text_token_file("b1", "\r\nBox ( 7 )\r\n"));
  auto text = box.run({"--dump", "a.t"});
  EXPECT_EQ(text.out,
            "container: UTF-16 header, mark '@' (plain), body of 58 bytes\n"
            "body header: \"TORV0b1t        \": type 'b' version '1' form text: no blocks to show\n");
  EXPECT_EQ(text.status, 1);
  auto missing = box.run({"--dump", "none.b"});
  EXPECT_EQ(missing.out, "Failed to load file none.b\n");
  EXPECT_EQ(missing.status, 1);
}

// No input crashes the dump: every example as a binary file (plain and
// compressed) and every binary and container file of the bad-input corpus.
TEST(Dump, EveryExampleAndEveryBadBinaryIsShownWithoutCrashing) {
  Sandbox box;
  Sandbox::shipped_defs(box.work());
  std::vector<std::string> names;
  for (const char* example : {"robot.s", "cube.s", "basic.ml"}) {
    fs::copy_file(vxtest::source_root() / "examples" / example, box.work() / example);
    const std::string base = std::string(example).substr(0, std::string(example).find('.'));
    ASSERT_EQ(box.run({example, "/o:" + base + ".zb"}).status, 0) << example;
    ASSERT_EQ(box.run({example, "/u", "/o:" + base + ".pb"}).status, 0) << example;
    names.push_back(base + ".zb");
    names.push_back(base + ".pb");
  }
  for (const std::string& name : names) {
    auto r = box.run({"--dump", name});
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out.find("!!"), std::string::npos) << name << ": a file the writer made has no damage";
  }
  for (const char* kind : {"binary", "container"}) {
    for (const auto& entry : fs::directory_iterator(vxtest::source_root() / "tests/bad_input" / kind)) {
      fs::copy_file(entry.path(), box.work() / "input", fs::copy_options::overwrite_existing);
      auto r = box.run({"--dump", "input"});
      EXPECT_EQ(r.signal, 0) << entry.path();
      EXPECT_TRUE(r.status == 0 || r.status == 1) << entry.path();
      EXPECT_FALSE(r.out.empty()) << entry.path() << " status " << r.status << ": " << r.err;
    }
  }
}

}  // namespace
