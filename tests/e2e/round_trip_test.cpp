// Every shipped example converts to binary and back with the shipped
// definitions. Examples written in the program's own layout come back byte
// for byte; the others come back in that layout and then stay fixed.
#include <gtest/gtest.h>

#include "e2e/sandbox.h"

namespace {

namespace fs = std::filesystem;
using vxtest::Sandbox;

struct Example {
  std::string name, binary_ext;
  bool own_layout;  // written exactly as the text writer lays it out
  std::string body_header;
};

const Example kExamples[] = {
    {"robot.s", "sb", true, "TORV0s1"},
    {"basic.ml", "mlb", true, "TORV0m1"},
    {"cube.s", "sb", false, "TORV0s1"},
};

struct ExampleSandbox : Sandbox {
  ExampleSandbox() {
    shipped_defs(work());
    for (const auto& e : kExamples) {
      fs::copy_file(vxtest::source_root() / "examples" / e.name, work() / e.name);
    }
  }
};

std::string base_of(const std::string& name) { return name.substr(0, name.rfind('.')); }

TEST(RoundTrip, EveryExampleIsShipped) {
  // Token files only: examples/api holds a program that uses the library.
  size_t shipped = 0;
  for (const auto& entry : fs::directory_iterator(vxtest::source_root() / "examples")) shipped += entry.is_regular_file();
  EXPECT_EQ(shipped, std::size(kExamples));
}

TEST(RoundTrip, ExamplesConvertBothWays) {
  ExampleSandbox box;
  for (const auto& e : kExamples) {
    SCOPED_TRACE(e.name);
    std::string base = base_of(e.name);
    std::string ext = e.name.substr(e.name.rfind('.'));
    fs::create_directories(box.work() / "out");

    auto r = box.run({e.name, "/o:out/." + e.binary_ext});
    EXPECT_EQ(r.out, "\nConverting " + e.name + " to compressed binary file out/" + base + "." + e.binary_ext + " ...\n");
    ASSERT_EQ(r.status, 0);
    std::string binary = box.get("out/" + base + "." + e.binary_ext);
    std::string body = vxtest::inflate_body(binary);
    EXPECT_EQ(body.substr(0, 8), e.body_header + "b");

    r = box.run({"out/" + base + "." + e.binary_ext, "/o:out/" + ext});
    EXPECT_EQ(r.out, "\nConverting out/" + base + "." + e.binary_ext + " to text file out/" + e.name + " ...\n");
    ASSERT_EQ(r.status, 0);
    std::string text = box.get("out/" + e.name);
    if (e.own_layout) {
      EXPECT_EQ(text, box.get(e.name));
    }

    // From the program's layout on, both forms are fixed points.
    ASSERT_EQ(box.run({"out/" + e.name, "/o:out/again." + e.binary_ext}).status, 0);
    EXPECT_EQ(box.get("out/again." + e.binary_ext), binary);
    ASSERT_EQ(box.run({"out/again." + e.binary_ext, "/o:out/again" + ext}).status, 0);
    EXPECT_EQ(box.get("out/again" + ext), text);
  }
}

TEST(RoundTrip, UncompressedBinaryHoldsTheSameBody) {
  ExampleSandbox box;
  for (const auto& e : kExamples) {
    SCOPED_TRACE(e.name);
    ASSERT_EQ(box.run({e.name, "/o:packed.bin"}).status, 0);
    ASSERT_EQ(box.run({e.name, "/u", "/o:plain.bin"}).status, 0);
    EXPECT_EQ(box.get("plain.bin"), vxtest::kPlainHeader + vxtest::inflate_body(box.get("packed.bin")));
  }
}

TEST(RoundTrip, ExamplesPassTheCheck) {
  ExampleSandbox box;
  for (const auto& e : kExamples) {
    auto r = box.run({e.name, "/k"});
    EXPECT_EQ(r.out, "\nConverting " + e.name + " to compressed binary file  ...\n");
    EXPECT_EQ(r.status, 0);
  }
}

}  // namespace
