// File names in any script: they are read from the command line, opened
// and shown on the console as UTF-8 (the Windows build through its
// wide-character interfaces). A name no file can have is refused.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

using vxtest::Sandbox;

const std::string kBoxText = vxtest::text_token_file("b1", "\r\nBox ( 5 )\r\n");
const std::string kBoxBinary = vxtest::kPlainHeader + "TORV0b1b        " +
                               std::string("\x01\x00\x01\x00\x05\x00\x00\x00\x00\x05\x00\x00\x00", 13);

const std::string kCafe = "caf\xC3\xA9";                     // U+00E9
const std::string kNihon = "\xE6\x97\xA5\xE6\x9C\xAC";       // U+65E5 U+672C
const std::string kParcel = "\xF0\x9F\x93\xA6";              // U+1F4E6, a pair of surrogates
const std::string kLongPart = [] {                           // 128 units, 256 bytes
  std::string s;
  for (int i = 0; i < 128; ++i) s += "\xC3\xA9";
  return s;
}();

TEST(Names, AnyScriptIsReadWrittenAndShown) {
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put(kCafe + ".t", kBoxText);
  box.put(kParcel + ".t", kBoxText);
  struct Case {
    std::vector<std::string> args;
    std::string output;
  };
  const Case cases[] = {
      {{kCafe + ".t", "/u", "/o:" + kNihon + ".bin"}, kNihon + ".bin"},
      {{kParcel + ".t", "/u", "/o:.bin"}, kParcel + ".bin"},  // completed from the source's name
  };
  for (const Case& c : cases) {
    auto r = box.run(c.args);
    EXPECT_EQ(r.out, "\nConverting " + c.args[0] + " to binary file " + c.output + " ...\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(box.get(c.output), kBoxBinary) << c.output;
  }
}

TEST(Names, NamesNoFileCanHaveAreRefused) {
  if (vxtest::under_runner()) GTEST_SKIP() << "Linux only: bytes that are no UTF-8, 255-byte names";
  Sandbox box;
  Sandbox::box_defs(box.work());
  box.put("box.t", kBoxText);
  const std::vector<std::vector<std::string>> cases = {
      {"caf\xE9.t", "/k"},                      // Latin-1, not UTF-8
      {"box.t", "/o:out\xC3.bin"},              // cut short
      {"box.t", "/o:" + kLongPart + ".bin"},    // over the file system's 255 bytes
      {kLongPart + ".t", "/k"},
  };
  for (const auto& args : cases) {
    auto r = box.run(args);
    EXPECT_EQ(r.out, "Invalid filename specified") << args[0] << " " << args[1];
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
  }
}

}  // namespace
