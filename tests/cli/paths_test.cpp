#include "app/paths.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace {

std::u16string or_none(const char16_t* p) { return p ? std::u16string(p) : u"<none>"; }

TEST(Paths, FindExtensionStopsAtTheLastComponent) {
  struct Case {
    std::u16string path, ext;
  } cases[] = {
      {u"shape.s", u".s"},
      {u"a.b.c", u".c"},
      {u"dir.x/file", u"<none>"},
      {u"dir.x\\file", u"<none>"},
      {u"C:.dat", u".dat"},
      {u"C:file", u"<none>"},
      {u"name.", u"."},
      {u".s", u".s"},
      {u"", u"<none>"},
      {u"/tmp/out/", u"<none>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(or_none(path_find_ext(c.path.c_str())), c.ext) << vxtest::narrow(c.path);
  }
  EXPECT_EQ(path_find_ext(nullptr), nullptr);
}

TEST(Paths, FindNameTakesOnlyDirectorySeparators) {
  struct Case {
    std::u16string path, name;
  } cases[] = {
      {u"C:\\data\\shape.s", u"shape.s"},
      {u"/home/me/shape.s", u"shape.s"},
      {u"C:shape.s", u"C:shape.s"},
      {u"shape.s", u"shape.s"},
      {u"dir/", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(or_none(path_find_name(c.path.c_str())), c.name) << vxtest::narrow(c.path);
  }
}

TEST(Paths, BaseNameIsTheLastComponentWithoutExtension) {
  struct Case {
    std::u16string path, base;
  } cases[] = {
      {u"C:\\data\\shape.s", u"shape"},
      {u"/home/me/robot.s", u"robot"},
      {u"C:robot.s", u"robot"},
      {u"a.b.c", u"a.b"},
      {u"noext", u"noext"},
      {u".s", u"<none>"},
      {u"dir/", u"<none>"},
      {u"", u"<none>"},
  };
  for (const auto& c : cases) {
    char16_t buffer[kPathCapacity];
    EXPECT_EQ(or_none(path_base_name(c.path.c_str(), buffer)), c.base) << vxtest::narrow(c.path);
  }
  // A last component that would not fit the buffer has no base name.
  char16_t buffer[kPathCapacity];
  EXPECT_EQ(path_base_name((u"/d/" + std::u16string(kPathCapacity, u'n') + u".s").c_str(), buffer), nullptr);
}

TEST(OutputName, CompletesAMissingFilePartWithTheBaseName) {
  struct Case {
    std::u16string given, result;
  } cases[] = {
      {u"out.dat", u"out.dat"},
      {u".bin", u"shape.bin"},
      {u"/dev/data/.dat", u"/dev/data/shape.dat"},
      {u"\\dev\\data\\.dat", u"\\dev\\data\\shape.dat"},
      {u"/dev/data/", u"/dev/data/shape"},
      {u"/tmp/out", u"/tmp/out"},
      {u"C:\\out", u"C:\\out"},
      {u"C:.dat", u"C:.dat"},
      {u"out", u"out"},
      {u".", u"shape."},
  };
  for (const auto& c : cases) {
    char16_t out[kPathCapacity];
    ASSERT_LT(c.given.size(), kPathCapacity);
    std::copy(c.given.begin(), c.given.end(), out);
    out[c.given.size()] = 0;
    ASSERT_EQ(make_output_name(out, kPathCapacity, u"shape"), 1) << vxtest::narrow(c.given);
    EXPECT_EQ(std::u16string(out), c.result) << vxtest::narrow(c.given);
  }
}

TEST(OutputName, RefusesWhatCannotBeCompleted) {
  char16_t out[kPathCapacity] = u".bin";
  EXPECT_EQ(make_output_name(out, kPathCapacity, nullptr), 0);
  EXPECT_EQ(make_output_name(out, kPathCapacity, u""), 0);
  EXPECT_EQ(std::u16string(out), u".bin");

  // The result must leave room for the terminator: 4 + 255 units fit in 260,
  // one more does not.
  std::u16string base(255, u'b');
  EXPECT_EQ(make_output_name(out, kPathCapacity, base.c_str()), 1);
  EXPECT_EQ(std::u16string(out).size(), 259u);
  std::copy_n(u".bin", 5, out);
  base.push_back(u'b');
  EXPECT_EQ(make_output_name(out, kPathCapacity, base.c_str()), 0);
  EXPECT_EQ(std::u16string(out), u".bin");
}

TEST(OutputName, RefusesAnExtensionLongerThan127Units) {
  for (sUInt ext_units : {127u, 128u}) {
    std::u16string given(ext_units, u'x');
    given[0] = u'.';
    char16_t out[kPathCapacity];
    std::copy(given.begin(), given.end(), out);
    out[given.size()] = 0;
    int ok = make_output_name(out, kPathCapacity, u"a");
    EXPECT_EQ(ok, ext_units <= kMaxExtensionUnits ? 1 : 0) << ext_units;
    if (ok) {
      EXPECT_EQ(out[0], u'a');
      EXPECT_EQ(std::u16string(out + 1), given);
    }
  }
}

}  // namespace
