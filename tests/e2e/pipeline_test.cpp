// Long options, batch mode and the standard streams.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "e2e/sandbox.h"

namespace fs = std::filesystem;

namespace {

const std::string kBad = vxtest::text_token_file("s1", "\r\nShape bad (\r\n\tInfo ( \"x\" one 0 )\r\n)\r\n");

// A sandbox with the shipped definitions and the shape examples.
struct ShapeBox : vxtest::Sandbox {
  ShapeBox() {
    shipped_defs(work());
    for (const char* name : {"robot.s", "cube.s"}) fs::copy_file(vxtest::source_root() / "examples" / name, work() / name);
    put("bad.s", kBad);
  }
  vxtest::RunResult run_with(const std::vector<std::string>& args, const vxtest::RunOptions& options) const {
    return vxtest::run_vexlor_with(args, work(), options, exe());
  }
  // The binary the program makes of `name` on its own.
  std::string single(const std::string& name, const std::string& option = "") const {
    std::vector<std::string> args{name, "/o:single.sb"};
    if (!option.empty()) args.push_back(option);
    EXPECT_EQ(run(args).status, 0);
    return get("single.sb");
  }
};

std::string converting(const std::string& source, const std::string& what, const std::string& output) {
  return "\nConverting " + source + " to " + what + " file " + output + " ...\n";
}

// Standard error as the test compares it: the Windows console's CR LF line
// ends (under wine) made LF, as the runner does for standard output.
std::string lf(const std::string& text) {
  if (!vxtest::under_runner()) return text;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}

const std::string kReadBad = "Error reading Kaldo token file: bad.s\n\nLine/offset: 3\nFailed to load file bad.s\n";

TEST(LongOptions, HelpAndVersionNeedNoDefinitions) {
  vxtest::Sandbox box;  // no definition files anywhere
  auto help = box.run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("\nUsage: <file> [/k] [/c | /u] [/o:<output_file>]\n", 0), 0u);
  EXPECT_NE(help.out.find("  --jobs=N "), std::string::npos);
  EXPECT_NE(help.out.find("  --depfile=FILE "), std::string::npos);
  auto version = box.run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "vexlor 0.1.0\n");
}

TEST(LongOptions, UnknownOptionsAndBadValuesAreNamed) {
  ShapeBox box;
  const std::vector<std::pair<std::string, std::string>> cases{
      {"--frobnicate", "Unknown option: --frobnicate\n"},
      {"--jobs=0", "Invalid number of jobs: --jobs=0\n"},
      {"--jobs=x", "Invalid number of jobs: --jobs=x\n"},
      {"--jobs", "Invalid number of jobs: --jobs\n"},
      {"--quiet=yes", "Option takes no value: --quiet=yes\n"},
      {"--depfile", "Option needs a file name: --depfile\n"},
  };
  for (const auto& [option, message] : cases) {
    auto result = box.run({"robot.s", option, "/k"});
    EXPECT_EQ(result.status, 1) << option;
    EXPECT_EQ(result.out, message) << option;
  }
  // A depfile names the dependencies of an output: a check has none.
  auto check = box.run({"robot.s", "/k", "--depfile=robot.d"});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, "--depfile needs an output file (/o:)\n");
}

TEST(LongOptions, ACommandLineTooLongToReadFails) {
  ShapeBox box;
  auto result = box.run({"robot.s", "/k", std::string(3000, 'x')});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out.rfind("\nUsage: <file>", 0), 0u);
}

TEST(Batch, ConvertsEverySourceAndPrintsTheirLinesInOrder) {
  ShapeBox box;
  const std::string robot = box.single("robot.s");
  const std::string cube = box.single("cube.s");
  fs::create_directories(box.work() / "out");
  auto result = box.run({"--jobs=2", "robot.s", "bad.s", "cube.s", "/o:out/.sb"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, converting("robot.s", "compressed binary", "out/robot.sb") + kReadBad +
                            converting("cube.s", "compressed binary", "out/cube.sb") + "2 converted, 1 failed\n");
  EXPECT_EQ(box.get("out/robot.sb"), robot);
  EXPECT_EQ(box.get("out/cube.sb"), cube);
  EXPECT_FALSE(box.has("out/bad.sb"));

  auto checked = box.run({"--batch", "robot.s", "cube.s", "/k"});
  EXPECT_EQ(checked.status, 0);
  EXPECT_EQ(checked.out, converting("robot.s", "compressed binary", "") + converting("cube.s", "compressed binary", "") +
                             "2 checked, 0 failed\n");

  auto quiet = box.run({"--batch", "--quiet", "cube.s", "robot.s", "/o:out/.sb", "/u"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(box.run({"--quiet", "robot.s", "/k"}).out, "");
  auto quiet_failing = box.run({"--batch", "--quiet", "cube.s", "bad.s", "/k"});
  EXPECT_EQ(quiet_failing.out, kReadBad + "1 checked, 1 failed\n");

  box.put("list.txt", "robot.s\r\n\ncube.s\n");
  auto listed = box.run({"--files-from=list.txt", "/k", "--quiet"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "");
  // A list named in a script the system's 8-bit code page lacks.
  box.put("\u0441\u043f\u0438\u0441\u043e\u043a.txt", "cube.s\n");
  auto cyrillic = box.run({"--files-from=\u0441\u043f\u0438\u0441\u043e\u043a.txt", "/k"});
  EXPECT_EQ(cyrillic.status, 0) << cyrillic.out;
  EXPECT_EQ(cyrillic.out, converting("cube.s", "compressed binary", "") + "1 checked, 0 failed\n");
}

TEST(Batch, OutputsThatCannotBeToldApartAreRefusedBeforeAnything) {
  ShapeBox box;
  fs::create_directories(box.work() / "a");
  fs::copy_file(box.work() / "cube.s", box.work() / "a" / "robot.s");
  const std::vector<std::vector<std::string>> refused{
      {"--batch", "robot.s", "cube.s", "/o:one.sb"},          // a file part: one name for all
      {"--batch", "robot.s", "a/robot.s", "/o:.sb"},          // two sources, one output
      {"--batch", "robot.s", "robot.sb", "/o:.sb"},           // an output that is a source
      {"--batch", "robot.s", "-", "/o:.sb"},                  // standard input has no name
  };
  for (const auto& args : refused) {
    auto result = box.run(args);
    EXPECT_EQ(result.status, 1) << args[3];
    EXPECT_EQ(result.out, "Invalid filename specified") << args[3];
    EXPECT_FALSE(box.has("robot.sb")) << args[3];
    EXPECT_FALSE(box.has("one.sb")) << args[3];
  }
}

TEST(StandardStreams, ReadFromStandardInputAndWriteToStandardOutput) {
  ShapeBox box;
  const std::string robot = box.single("robot.s");
  const std::string robot_plain = box.single("robot.s", "/u");

  vxtest::RunOptions in;
  in.input = box.get("robot.s");
  auto from_input = box.run_with({"-", "/o:from_input.sb"}, in);
  EXPECT_EQ(from_input.status, 0);
  EXPECT_EQ(from_input.out, converting("-", "compressed binary", "from_input.sb"));
  EXPECT_EQ(box.get("from_input.sb"), robot);

  vxtest::RunOptions data;
  data.raw_output = true;
  auto to_output = box.run_with({"robot.s", "/u", "/o:-"}, data);
  EXPECT_EQ(to_output.status, 0);
  EXPECT_EQ(to_output.out, robot_plain);
  EXPECT_EQ(lf(to_output.err), converting("robot.s", "binary", "-"));

  // Both at once, binary to text: the data stays clean.
  vxtest::RunOptions both;
  both.input = robot;
  both.raw_output = true;
  auto piped = box.run_with({"-", "/o:-"}, both);
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.out, box.get("robot.s"));

  // On failure nothing reaches standard output.
  vxtest::RunOptions bad;
  bad.input = kBad;
  bad.raw_output = true;
  auto failed = box.run_with({"-", "/o:-"}, bad);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, "");
  // The messages, then the diagnosis, which names standard input as compilers do.
  EXPECT_EQ(lf(failed.err),
            "Error reading Kaldo token file: -\n\nLine/offset: 3\nFailed to load file -\n"
            "<stdin>:3:13: error: expected an unsigned number, found 'one'\n"
            "\tInfo ( \"x\" one 0 )\n\t           ^\n");

  auto unnamed = box.run_with({"-", "/o:.sb"}, in);
  EXPECT_EQ(unnamed.status, 1);
  EXPECT_EQ(unnamed.out, "Invalid filename specified");
}

TEST(Dependencies, OneRulePerOutputNamingEveryDefinitionFile) {
  ShapeBox box;
  const std::string defs =
      "  Vexlor.cfg \\\n  sidn.txt \\\n  core_ids.h \\\n  app_ids.h \\\n  library_ids.h \\\n"
      "  library.bnf \\\n  shape.bnf\n";
  auto single = box.run({"robot.s", "/o:my robot.sb", "--depfile=robot.d"});
  EXPECT_EQ(single.status, 0);
  EXPECT_EQ(box.get("robot.d"), "my\\ robot.sb: robot.s \\\n" + defs);

  fs::create_directories(box.work() / "out");
  auto batch = box.run({"--batch", "robot.s", "bad.s", "cube.s", "/o:out/.sb", "--depfile=all.d"});
  EXPECT_EQ(batch.status, 1);
  const std::string all = box.get("all.d");
  EXPECT_EQ(all, "out/robot.sb: robot.s \\\n" + defs + "out/cube.sb: cube.s \\\n" + defs);

  // The same inputs give the same bytes, in another directory and later.
  ShapeBox other;
  fs::create_directories(other.work() / "out");
  other.run({"--batch", "robot.s", "bad.s", "cube.s", "/o:out/.sb", "--depfile=all.d"});
  EXPECT_EQ(other.get("all.d"), all);
}

TEST(Batch, FourBatchesWritingIntoOneDirectoryAtOnceLeaveCompleteOutputs) {
  ShapeBox box;
  const std::string robot = box.single("robot.s");
  const std::string cube = box.single("cube.s");
  fs::create_directories(box.work() / "out");
  std::vector<std::future<vxtest::RunResult>> runs;
  for (int i = 0; i < 4; ++i) {
    runs.push_back(std::async(std::launch::async, [&box] {
      return box.run({"--jobs=2", "robot.s", "cube.s", "/o:out/.sb"});
    }));
  }
  for (auto& run : runs) {
    const vxtest::RunResult result = run.get();
    EXPECT_EQ(result.status, 0) << result.out << result.err;
  }
  EXPECT_EQ(box.get("out/robot.sb"), robot);
  EXPECT_EQ(box.get("out/cube.sb"), cube);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(box.work() / "out")) files += entry.is_regular_file();
  EXPECT_EQ(files, 2u);  // no temporary file left behind
}

}  // namespace
