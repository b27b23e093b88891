#include "app/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "support/test_support.h"

namespace {

struct Parsed {
  std::u16string source;
  std::u16string output;
  int check_only;
  sUInt compress;
  int refused;
};

Parsed parse(const std::u16string& cl) {
  sAppState app{};
  cmdline_parse_text(cl.c_str(), reinterpret_cast<std::uintptr_t>(&app), on_cmdline_item);
  return {app.source_name, app.output_name, app.check_only, app.compress_option, app.name_refused};
}

TEST(CommandLine, FillsTheApplicationState) {
  struct Case {
    std::u16string cl;
    std::u16string source, output;
    int check;
    sUInt compress;
  } cases[] = {
      {u"vexlor", u"", u"", 0, 0},
      {u"vexlor file.s /o:out.dat /c /u", u"file.s", u"out.dat", 0, 2},
      {u"vexlor a.s b.s /k", u"b.s", u"", 1, 0},
      {u"vexlor \"my file.s\" /k", u"my file.s", u"", 1, 0},
      {u"vexlor -data.s", u"-data.s", u"", 0, 0},
      {u"vexlor +x.s", u"+x.s", u"", 0, 0},
      {u"vexlor @resp x.s", u"x.s", u"", 0, 0},
      {u"vexlor x.s /O:out.dat /check", u"x.s", u"out.dat", 0, 1},
      {u"vexlor x.s /keep", u"x.s", u"", 1, 0},
      {u"vexlor x.s /o", u"x.s", u"", 0, 0},
      {u"vexlor x.s /o:", u"x.s", u"", 0, 0},
      {u"vexlor x.s /z /k", u"x.s", u"", 1, 0},
      // A quote in the middle of an item protects nothing.
      {u"vexlor /o:\"x y.dat\"", u"y.dat\"", u"\"x", 0, 0},
      {u"vexlor\tx.s\r\n/u", u"x.s", u"", 0, 2},
      // The second colon belongs to the sub-value.
      {u"vexlor x.s /o:C:\\x.dat", u"x.s", u"C:\\x.dat", 0, 0},
  };
  for (const auto& c : cases) {
    Parsed p = parse(c.cl);
    EXPECT_EQ(p.source, c.source) << vxtest::narrow(c.cl);
    EXPECT_EQ(p.output, c.output) << vxtest::narrow(c.cl);
    EXPECT_EQ(p.check_only, c.check) << vxtest::narrow(c.cl);
    EXPECT_EQ(p.compress, c.compress) << vxtest::narrow(c.cl);
  }
}

TEST(CommandLine, AbsolutePosixPathsArePlainItems) {
  Parsed p = parse(u"/usr/local/bin/vexlor /home/me/a.s /o:/tmp/.bin");
  EXPECT_EQ(p.source, u"/home/me/a.s");
  EXPECT_EQ(p.output, u"/tmp/.bin");
  p = parse(u"vexlor \"/home/me/my a.s\" /k");
  EXPECT_EQ(p.source, u"/home/me/my a.s");
  EXPECT_EQ(p.check_only, 1);
  // A path item keeps ":" and "," in its single piece.
  p = parse(u"vexlor /data/a:b,c.s");
  EXPECT_EQ(p.source, u"/data/a:b,c.s");
  // Options keep their meaning; a file under the root is written "//a.s".
  p = parse(u"vexlor //a.s /o:x.dat /k");
  EXPECT_EQ(p.source, u"//a.s");
  EXPECT_EQ(p.output, u"x.dat");
  EXPECT_EQ(p.check_only, 1);
}

TEST(CommandLine, OverlongNamesAreRefusedNotCut) {
  std::u16string long_name(260, u'a');
  Parsed p = parse(u"vexlor " + long_name);
  EXPECT_EQ(p.refused, 1);
  EXPECT_EQ(p.source, u"");
  p = parse(u"vexlor " + std::u16string(200, u'b') + u"/" + std::u16string(58, u'b'));
  EXPECT_EQ(p.refused, 0);
  EXPECT_EQ(p.source.size(), 259u);
  // Nor is a name kept that no file can have: one part over the file
  // system's 255 bytes, or a byte that was not UTF-8 (a lone surrogate).
  for (const std::u16string& name : {std::u16string(256, u'c'), std::u16string(u"caf\xDCC3.s")}) {
    EXPECT_EQ(parse(u"vexlor " + name).refused, 1);
  }
  p = parse(u"vexlor x.s /o:" + long_name);
  EXPECT_EQ(p.refused, 1);
  EXPECT_EQ(p.output, u"");
}

struct Item {
  sUInt kind;
  std::u16string first;
  std::vector<std::u16string> subs;
};
std::vector<Item> items;

int record(std::uintptr_t context, sUInt kind, const char16_t* text, sUInt length, int sub_count,
           const char16_t* const* subs, const sUInt* sub_lengths) {
  Item item{kind, std::u16string(text, length), {}};
  for (int i = 0; i < sub_count; ++i) item.subs.emplace_back(subs[i], sub_lengths[i]);
  items.push_back(item);
  return context == 0 || items.size() < context;
}

TEST(CommandLine, PiecesKindsAndTheSeventeenPieceLimit) {
  items.clear();
  std::u16string many = u"prog /o:a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r +p:x -m @at \"q\"";
  EXPECT_EQ(cmdline_parse_text(many.c_str(), 0, record), 6u);
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].kind, sUInt(CL_PROGRAM));
  EXPECT_EQ(items[1].kind, sUInt(CL_SLASH));
  EXPECT_EQ(items[1].first, u"o");
  ASSERT_EQ(items[1].subs.size(), 16u);
  EXPECT_EQ(items[1].subs[0], u"a");
  EXPECT_EQ(items[1].subs[15], u"p");
  EXPECT_EQ(items[2].kind, sUInt(CL_PLUS));
  EXPECT_EQ(items[2].first, u"p");
  EXPECT_EQ(items[2].subs, std::vector<std::u16string>{u"x"});
  EXPECT_EQ(items[3].kind, sUInt(CL_MINUS));
  EXPECT_EQ(items[4].kind, sUInt(CL_AT));
  EXPECT_EQ(items[4].first, u"at");
  EXPECT_EQ(items[5].kind, sUInt(CL_PLAIN));
  EXPECT_EQ(items[5].first, u"q");
}

TEST(CommandLine, HandlerCanStopTheParse) {
  items.clear();
  EXPECT_EQ(cmdline_parse_text(u"prog a b c", 2, record), 2u);
  EXPECT_EQ(items.size(), 2u);
}

TEST(CommandLine, EmptyAndBlankLinesHandOverNothing) {
  items.clear();
  EXPECT_EQ(cmdline_parse_text(u"", 0, record), 0u);
  EXPECT_EQ(cmdline_parse_text(u"  \t ", 0, record), 0u);
  EXPECT_TRUE(items.empty());
}

TEST(ModuleDir, TakesTheFirstTokenUpToItsLastSeparator) {
  vxtest::DebugCapture capture;
  char16_t dir[260];
  ASSERT_EQ(get_module_dir_from_command_line(capture.rep(), u"C:\\tools\\vexlor.exe a.s", dir, 260), 1);
  EXPECT_EQ(std::u16string(dir), u"C:\\tools\\");
  ASSERT_EQ(get_module_dir_from_command_line(capture.rep(), u"\"C:\\my tools\\vexlor.exe\" a.s", dir, 260), 1);
  EXPECT_EQ(std::u16string(dir), u"C:\\my tools\\");
  ASSERT_EQ(get_module_dir_from_command_line(capture.rep(), u"/opt/vx/vexlor a.s", dir, 260), 1);
  EXPECT_EQ(std::u16string(dir), u"/opt/vx/");
  EXPECT_TRUE(capture.lines().empty());
}

TEST(ModuleDir, FailsWithReportWithoutSeparatorOrRoom) {
  vxtest::DebugCapture capture;
  char16_t dir[8] = u"keep";
  EXPECT_EQ(get_module_dir_from_command_line(capture.rep(), u"vexlor a\\b.s", dir, 8), 0);
  EXPECT_EQ(get_module_dir_from_command_line(capture.rep(), u"\\vexlor", dir, 8), 0);
  EXPECT_EQ(get_module_dir_from_command_line(capture.rep(), u"C:\\longer\\vexlor", dir, 8), 0);
  EXPECT_EQ(std::u16string(dir), u"keep");
  ASSERT_EQ(capture.lines().size(), 3u);
  EXPECT_EQ(capture.lines()[0], "\nFAILED: c > cl && str_len < maxlen [File: AppUtil Line: 591]");
}

TEST(ModuleDir, RunningProgramDirectoryEndsInSeparator) {
  vxtest::DebugCapture capture;
  char16_t dir[260];
  ASSERT_EQ(get_module_dir(capture.rep(), dir, 260), 1);
  std::u16string d(dir);
  ASSERT_FALSE(d.empty());
  EXPECT_EQ(d.back(), u'/');
}

}  // namespace
