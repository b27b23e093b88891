#include "container/fioshare.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "container/huffman.h"
#include "support/alloc_hook.h"
#include "support/test_support.h"

namespace {

using vxtest::DebugCapture;
using vxtest::TempDir;
using vxtest::read_file;
using vxtest::u16;
using vxtest::write_file;

const std::string kOpenFailedLine =
    "\nFAILED: (fp = fioshare_file_create_ex (f, (enum sFioShareFileType) rw, (enum sFioShareComp) comp, "
    "open_unicode)) != 0 [File: AppUtil Line: 307]";

std::string le32(sUInt v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

std::string widen(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    out += c;
    out += '\0';
  }
  return out;
}

std::string header(char mark, const std::string& size_field) {
  return std::string("KALDOA@") + mark + size_field + "@@@@";
}

std::string zlib_of(const std::string& body) {
  uLongf n = compressBound(body.size());
  std::string out(n, '\0');
  EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(body.data()),
                     body.size()),
            Z_OK);
  out.resize(n);
  return out;
}

// What a zlib stream inflates to when it holds exactly `size` bytes; empty
// when it does not.
std::string inflated(const std::string& stream, std::size_t size) {
  std::string out(size, '\0');
  uLongf n = size;
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(stream.data()),
                 stream.size()) != Z_OK ||
      n != size) {
    return {};
  }
  return out;
}

std::string huff_of(const std::string& body) {
  std::string out(body.size() + 1024, '\0');
  sUInt n = 0;
  EXPECT_TRUE(huff_encode(reinterpret_cast<const sByte*>(body.data()), static_cast<sUInt>(body.size()),
                          reinterpret_cast<sByte*>(out.data()), static_cast<sUInt>(out.size()), &n));
  out.resize(n);
  return out;
}

std::string body_of(const sFioShareFile* s) {
  return std::string(reinterpret_cast<const char*>(s->body), s->body_size);
}

sFioShareFile* open_bytes(const std::string& bytes) {
  return fioshare_open_memory(reinterpret_cast<const sByte*>(bytes.data()), static_cast<sUInt>(bytes.size()));
}

// A body of the kind the writers produce: body header, then records.
std::string sample_body(std::size_t n) {
  std::string body = "TORV0Sat@@@@@@@@";
  std::mt19937 rng(7);
  while (body.size() < n) body += "item " + std::to_string(rng() % 1000) + " ( 1.5 0x10 )\n";
  body.resize(n);
  return body;
}

// Opens `path` (reports go nowhere).
sFioShareFile* open_path(const std::string& path, sUInt rw, sUInt comp = FIO_COMP_NONE, int unicode = 0) {
  sReporter rep;
  return fioshare_file_open(rep, u16(path).c_str(), rw, comp, unicode);
}

bool write_stream(const std::string& path, sFioShareComp comp, int unicode, const std::string& body) {
  sFioShareFile* w = open_path(path, FIO_WRITE, comp, unicode);
  if (w == nullptr) return false;
  if (!body.empty() && fioshare_write(w, body.data(), static_cast<sUInt>(body.size())) != body.size()) {
    fioshare_file_close(w);
    return false;
  }
  return fioshare_file_close(w) != 0;
}

TEST(ContainerWrite, HeaderAndBodyBytesForEveryMarkAndForm) {
  TempDir dir;
  const std::string body = sample_body(3000);
  struct Case {
    sFioShareComp comp;
    std::string stored_header;  // 16 bytes
    std::string stored_body;    // empty for mark "F": its bytes are the deflate library's
  };
  const Case cases[] = {
      {FIO_COMP_NONE, header('@', "@@@@"), body},
      {FIO_COMP_ZLIB, header('F', le32(3000)), ""},
      {FIO_COMP_HUFF, header('B', le32(3000 + 308)), huff_of(body)},
      {static_cast<sFioShareComp>('Q'), header('@', "@@@@"), body},
  };
  for (const Case& c : cases) {
    for (int unicode = 0; unicode <= 1; ++unicode) {
      const std::string path = dir.str("out.bin");
      ASSERT_TRUE(write_stream(path, c.comp, unicode, body));
      const std::string head = unicode ? std::string("\xFF\xFE") + widen(c.stored_header) : c.stored_header;
      const std::string file = read_file(path);
      EXPECT_EQ(file.substr(0, head.size()), head) << "mark " << c.comp << " unicode " << unicode;
      if (c.comp == FIO_COMP_ZLIB) {
        // A standard zlib stream that inflates to the body.
        EXPECT_EQ(inflated(file.substr(head.size()), body.size()), body) << "unicode " << unicode;
        EXPECT_LT(file.size(), head.size() + body.size() / 2);
      } else {
        EXPECT_EQ(file.substr(head.size()), c.stored_body) << "mark " << c.comp << " unicode " << unicode;
      }
      // Closed into memory, a stream without a file yields the same bytes.
      sFioShareFile* m = fioshare_file_create_ex(nullptr, FIO_WRITE, c.comp, unicode);
      ASSERT_NE(m, nullptr);
      ASSERT_EQ(fioshare_write(m, body.data(), static_cast<sUInt>(body.size())), body.size());
      std::vector<sByte> image;
      ASSERT_EQ(fioshare_close_to_memory(m, image), 1);
      EXPECT_EQ(std::string(image.begin(), image.end()), file) << "mark " << c.comp << " unicode " << unicode;
    }
  }
}

TEST(ContainerRead, EveryMarkAndFormReadsBackTheSameBody) {
  TempDir dir;
  for (std::size_t size : {std::size_t{1}, std::size_t{17}, std::size_t{70000}}) {
    const std::string body = sample_body(size);
    for (sFioShareComp comp : {FIO_COMP_NONE, FIO_COMP_ZLIB, FIO_COMP_HUFF}) {
      for (int unicode = 0; unicode <= 1; ++unicode) {
        const std::string path = dir.str("rt.bin");
        ASSERT_TRUE(write_stream(path, comp, unicode, body));
        sFioShareFile* r = open_path(path, FIO_READ, FIO_COMP_NONE, 0);
        if (std::filesystem::file_size(path) < 34) {
          EXPECT_EQ(r, nullptr);  // shorter than the probe of a UTF-16 header
          continue;
        }
        ASSERT_NE(r, nullptr) << size << " " << comp << " " << unicode;
        EXPECT_EQ(body_of(r), body);
        EXPECT_EQ(fioshare_get_comp(r), comp);
        EXPECT_EQ(fioshare_is_unicode(r), static_cast<sUInt>(unicode));
        EXPECT_EQ(fioshare_tell(r), 0u);
        EXPECT_EQ(r->rw, FIO_READ);
        EXPECT_TRUE(fioshare_file_close(r));
      }
    }
  }
}

TEST(ContainerRead, FileWithoutHeaderIsAPlainBody) {
  const std::string no_header = "TORV0Sab" + std::string(40, 'x');
  const std::string bom_only = "\xFF\xFEK\0A\0L\0D\0X\0" + std::string(40, 'y');  // not "KALDO"
  for (const std::string& bytes : {no_header, bom_only}) {
    sFioShareFile* r = open_bytes(bytes);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(body_of(r), bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r->header), 16), std::string(16, '@'));
    EXPECT_EQ(fioshare_get_comp(r), FIO_COMP_NONE);
    EXPECT_EQ(fioshare_is_unicode(r), 0u);
    fioshare_file_close(r);
  }
}

TEST(ContainerRead, UnicodeHeaderUsesOnlyLowBytesOfTheLaterUnits) {
  std::string h = "\xFF\xFE" + widen(header('F', le32(5)));
  h[2 + 2 * 5 + 1] = '\x7F';   // high byte of byte 5: ignored
  h[2 + 2 * 12 + 1] = '\x01';  // high byte of byte 12: ignored
  sFioShareFile* r = open_bytes(h + zlib_of("hello"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(body_of(r), "hello");
  EXPECT_EQ(fioshare_is_unicode(r), 1u);
  fioshare_file_close(r);
}

// Every one of these must be refused without reading outside the bytes.
TEST(ContainerRead, MalformedInputIsRefused) {
  const std::string body = sample_body(500);
  const std::string z = zlib_of(body);
  const std::string hf = huff_of(body);
  std::string corrupt_z = z;
  corrupt_z[z.size() / 2] ^= 0x55;
  std::string bad_adler = z;
  bad_adler.back() ^= 1;
  std::string bad_counts = hf;
  bad_counts[8 + 4 * 7] ^= 1;  // count of length 8 off by one: incomplete code
  std::string too_many_codes = hf;
  for (int i = 0; i < 10; ++i) std::memcpy(&too_many_codes[8 + 4 * i], "\0\0\0\0", 4);
  std::memcpy(&too_many_codes[8 + 40], le32(2048).data(), 4);  // complete but 2048 codes
  std::string huge_count = hf;
  std::memcpy(&huge_count[8], "\xFF\xFF\xFF\xFF", 4);

  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"16-byte header only", header('@', "@@@@")},
      {"valid header, 33 bytes", header('@', "@@@@") + std::string(17, 'x')},
      {"unknown mark", header('Z', "@@@@") + body},
      {"lower-case mark", header('f', le32(500)) + z},
      {"UTF-16 header without body", "\xFF\xFE" + widen(header('@', "@@@@"))},
      {"zlib size field too small", header('F', le32(499)) + z},
      {"zlib size field too large", header('F', le32(501)) + z},
      {"zlib size field absurd", header('F', le32(0xFFFFFFFF)) + z},
      {"zlib size field zero", header('F', le32(0)) + z},
      {"zlib data corrupt", header('F', le32(500)) + corrupt_z},
      {"zlib checksum wrong", header('F', le32(500)) + bad_adler},
      {"zlib data cut", header('F', le32(500)) + z.substr(0, z.size() - 10)},
      {"zlib not zlib", header('F', le32(500)) + body},
      {"Huffman body shorter than the table", header('B', le32(808)) + hf.substr(0, 300)},
      {"Huffman table without data", header('B', le32(808)) + hf.substr(0, 308)},
      {"Huffman size field below the table", header('B', le32(307)) + hf},
      {"Huffman size field too large", header('B', le32(809)) + hf},
      {"Huffman size field absurd", header('B', le32(0xFFFFFFFF)) + hf},
      {"Huffman incomplete code", header('B', le32(808)) + bad_counts},
      {"Huffman 2048 codes", header('B', le32(808)) + too_many_codes},
      {"Huffman count overflow", header('B', le32(808)) + huge_count},
      {"Huffman data cut", header('B', le32(808)) + hf.substr(0, hf.size() - 8)},
  };
  for (const Case& c : cases) {
    for (int unicode = 0; unicode <= 1; ++unicode) {
      std::string bytes = c.bytes;
      if (unicode && bytes.size() >= 34 && bytes.rfind("KALDO", 0) == 0) bytes = "\xFF\xFE" + widen(bytes.substr(0, 16)) + bytes.substr(16);
      sFioShareFile* r = open_bytes(bytes);
      EXPECT_EQ(r, nullptr) << c.what << " unicode " << unicode;
      if (r != nullptr) fioshare_file_close(r);
    }
  }
}

TEST(ContainerRead, AnyZlibStreamReadsAndBytesBehindItAreNotLookedAt) {
  const std::string body = sample_body(5000);
  for (int level : {0, 1, 9}) {  // stored blocks, fastest, smallest
    uLongf n = compressBound(body.size());
    std::string z(n, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(body.data()),
                        body.size(), level),
              Z_OK);
    z.resize(n);
    for (const std::string& tail : {std::string(), std::string("\x00junk", 5)}) {
      sFioShareFile* r = open_bytes(header('F', le32(5000)) + z + tail);
      ASSERT_NE(r, nullptr) << "level " << level << " tail " << tail.size();
      EXPECT_TRUE(body_of(r) == body);
      fioshare_file_close(r);
    }
  }
}

TEST(ContainerRead, ShorterHuffmanSizeFieldTakesThePrefix) {
  // The decoder stops at the expected length, and the container accepts that.
  const std::string body = sample_body(500);
  sFioShareFile* r = open_bytes(header('B', le32(308 + 200)) + huff_of(body));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(body_of(r), body.substr(0, 200));
  fioshare_file_close(r);
}

TEST(ContainerRead, FailedOpenReportsTheCreateCheckAndClosesTheFile) {
  TempDir dir;
  write_file(dir.path() / "short.bin", header('@', "@@@@") + "abc");
  DebugCapture debug;
  EXPECT_EQ(fioshare_file_open(debug.rep(), u16(dir.str("short.bin")).c_str(), FIO_READ, FIO_COMP_NONE, 0),
            nullptr);
  ASSERT_EQ(debug.lines().size(), 1u);
  EXPECT_EQ(debug.lines()[0], kOpenFailedLine);
}

TEST(ContainerOpen, FopenFailuresReportTheirChecks) {
  TempDir dir;
  DebugCapture debug;
  EXPECT_EQ(fioshare_file_open(debug.rep(), u16(dir.str("missing.bin")).c_str(), FIO_READ, FIO_COMP_NONE, 0),
            nullptr);
  EXPECT_EQ(fioshare_file_open(debug.rep(), u16(dir.str("no/such/dir.bin")).c_str(), FIO_WRITE, FIO_COMP_ZLIB, 0),
            nullptr);
  ASSERT_EQ(debug.lines().size(), 2u);
  EXPECT_EQ(debug.lines()[0], "\nFAILED: (f = fopen (fname, \"rb\")) != 0 [File: AppUtil Line: 292]");
  EXPECT_EQ(debug.lines()[1], "\nFAILED: (f = fopen (fname, \"w+b\")) != 0 [File: AppUtil Line: 294]");
}

TEST(ContainerOpen, NamesGoToTheSystemUnlessItCannotRepresentThem) {
  TempDir dir;
  dir.chdir();
  write_file(dir.path() / std::string(255, 'n'), header('@', "@@@@") + std::string(40, 'x'));
  DebugCapture debug;
  sFioShareFile* ok = fioshare_file_open(debug.rep(), u16(std::string(255, 'n')).c_str(), FIO_READ, 0, 0);
  ASSERT_NE(ok, nullptr);
  fioshare_file_close(ok);
  EXPECT_TRUE(file_exists(debug.rep(), u16(std::string(255, 'n')).c_str()));
  // 256 bytes are more than the file system takes in one name.
  EXPECT_EQ(fioshare_file_open(debug.rep(), u16(std::string(256, 'n')).c_str(), FIO_READ, 0, 0), nullptr);
  EXPECT_FALSE(file_exists(debug.rep(), u16(std::string(256, 'n')).c_str()));
  ASSERT_EQ(debug.lines().size(), 1u);
  EXPECT_EQ(debug.lines()[0], "\nFAILED: (f = fopen (fname, \"rb\")) != 0 [File: AppUtil Line: 292]");
  // Any script, beyond the basic plane too, is written as UTF-8.
  debug.clear();
  ASSERT_TRUE(fioshare_file_close(fioshare_file_open(debug.rep(), u"caf\u00e9 \U0001F600.bin", FIO_WRITE, 0, 0)));
  EXPECT_TRUE(file_exists(debug.rep(), u"caf\u00e9 \U0001F600.bin"));
  EXPECT_EQ(read_file(dir.path() / "caf\xC3\xA9 \xF0\x9F\x98\x80.bin"), header('@', "@@@@"));
  // A lone surrogate has no UTF-8 form: the message box only.
  EXPECT_EQ(fioshare_file_open(debug.rep(), u"a\xD800.bin", FIO_WRITE, 0, 0), nullptr);
  EXPECT_EQ(fioshare_file_open(debug.rep(), u"a\xD800.bin", FIO_READ, 0, 0), nullptr);
  EXPECT_EQ(debug.boxes(), std::vector<std::string>(
                               2, "Vexlor Unicode: Non-ASCII characters in filenames not currently supported"));
  EXPECT_TRUE(debug.lines().empty());
}

TEST(ContainerOpen, FileExistsOnlyForReadableFiles) {
  TempDir dir;
  sReporter rep;
  write_file(dir.path() / "there.txt", "x");
  EXPECT_TRUE(file_exists(rep, u16(dir.str("there.txt")).c_str()));
  EXPECT_FALSE(file_exists(rep, u16(dir.str("absent.txt")).c_str()));
  EXPECT_FALSE(file_exists(rep, nullptr));
}

std::vector<std::string> names_in(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

bool is_temp_of(const std::string& name, const std::string& output) {
  return name.starts_with(output + ".") && name.ends_with(".tmp");
}

// The body goes to a temporary file beside the output; only a close that
// succeeds puts it in the output's place.
TEST(ContainerWrite, TheOldFileStaysWholeUntilTheClose) {
  TempDir dir;
  const std::string path = dir.str("w.bin");
  write_file(path, "old contents");
  sFioShareFile* w = open_path(path, FIO_WRITE, FIO_COMP_NONE, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(fioshare_file_handle(w), w->file);
  ASSERT_EQ(fioshare_write(w, "body", 4), 4u);
  // Another stream on the same output takes a temporary file of its own.
  sFioShareFile* other = open_path(path, FIO_WRITE, FIO_COMP_NONE, 0);
  ASSERT_NE(other, nullptr);
  const std::vector<std::string> names = names_in(dir.path());
  ASSERT_EQ(names.size(), 3u);
  EXPECT_TRUE(is_temp_of(names[1], "w.bin") && is_temp_of(names[2], "w.bin")) << names[1] << " " << names[2];
  EXPECT_EQ(read_file(path), "old contents");
  fioshare_file_abandon(other);
  EXPECT_EQ(read_file(path), "old contents");
  EXPECT_TRUE(fioshare_file_close(w));
  EXPECT_EQ(read_file(path), header('@', "@@@@") + "body");
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"w.bin"});
  // The temporary name of a long name is cut to fit the name limit.
  const std::string longest(255, 'n');
  w = open_path(dir.str(longest), FIO_WRITE, FIO_COMP_NONE, 0);
  ASSERT_NE(w, nullptr);
  const std::string temp = names_in(dir.path())[0];
  EXPECT_EQ(temp.size(), 255u);
  EXPECT_TRUE(temp.starts_with("nnnnnnnn") && temp.ends_with(".tmp")) << temp;
  EXPECT_TRUE(fioshare_file_close(w));
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{longest, "w.bin"}));
}

// The test hook's failures: the output keeps its bytes and no temporary
// file stays, wherever the write fails.
TEST(ContainerWrite, AWriteThatFailsLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.str("f.bin");
  const std::string body = sample_body(5000);
  struct Case {
    const char* fault;
    sFioShareComp comp;
    int direct;
  };
  const Case cases[] = {{"fail:0", FIO_COMP_NONE, 0},    {"fail:10", FIO_COMP_NONE, 1},
                        {"fail:4000", FIO_COMP_NONE, 1}, {"fail:20", FIO_COMP_ZLIB, 0},
                        {"fail:16", FIO_COMP_NONE, 0}};
  for (const Case& c : cases) {
    write_file(path, "old");
    ::setenv("VEXLOR_WRITE_FAULT", c.fault, 1);
    sFioShareFile* w = open_path(path, FIO_WRITE, c.comp, 0);
    ::unsetenv("VEXLOR_WRITE_FAULT");
    ASSERT_NE(w, nullptr);
    if (c.direct) {
      ASSERT_EQ(fioshare_write_direct(w), 1);
    }
    fioshare_write(w, body.data(), static_cast<sUInt>(body.size()));
    EXPECT_FALSE(fioshare_file_close(w)) << c.fault;
    EXPECT_EQ(read_file(path), "old") << c.fault;
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"f.bin"}) << c.fault;
  }
  // Without the variable (or with one that means nothing) nothing fails.
  ::setenv("VEXLOR_WRITE_FAULT", "fail:x", 1);
  EXPECT_TRUE(write_stream(path, FIO_COMP_NONE, 0, body));
  ::unsetenv("VEXLOR_WRITE_FAULT");
  EXPECT_EQ(read_file(path), header('@', "@@@@") + body);
}

// What is replaced is the file itself: a symbolic link is followed (and
// stays), the permission bits stay, and a file that is no regular file is
// written in place.
TEST(ContainerWrite, ReplacementFollowsLinksAndKeepsThePermissionBits) {
  namespace fs = std::filesystem;
  TempDir dir;
  fs::create_directory(dir.path() / "real");
  write_file(dir.path() / "real/a.bin", "old");
  fs::permissions(dir.path() / "real/a.bin", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real/a.bin", dir.path() / "link.bin");
  fs::create_symlink("real/new.bin", dir.path() / "dangling.bin");
  ASSERT_TRUE(write_stream(dir.str("link.bin"), FIO_COMP_NONE, 0, "x"));
  ASSERT_TRUE(write_stream(dir.str("dangling.bin"), FIO_COMP_NONE, 0, "y"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.bin"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling.bin"));
  EXPECT_EQ(read_file(dir.path() / "real/a.bin"), header('@', "@@@@") + "x");
  EXPECT_EQ(read_file(dir.path() / "real/new.bin"), header('@', "@@@@") + "y");
  EXPECT_EQ(fs::status(dir.path() / "real/a.bin").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(names_in(dir.path() / "real"), (std::vector<std::string>{"a.bin", "new.bin"}));
  // A directory cannot be written; /dev/null is written in place.
  EXPECT_EQ(open_path(dir.str("real"), FIO_WRITE), nullptr);
  EXPECT_TRUE(write_stream("/dev/null", FIO_COMP_ZLIB, 0, "z"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(ContainerWrite, StreamClosedWithoutBodyWritesOnlyTheHeader) {
  TempDir dir;
  const std::string path = dir.str("e.bin");
  struct Case {
    sFioShareComp comp;
    std::string expected;
  };
  const Case cases[] = {{FIO_COMP_NONE, header('@', "@@@@")},
                        {FIO_COMP_ZLIB, header('F', le32(0))},
                        {FIO_COMP_HUFF, header('B', le32(0))}};
  for (const Case& c : cases) {
    ASSERT_TRUE(write_stream(path, c.comp, 0, ""));
    EXPECT_EQ(read_file(path), c.expected);
    ASSERT_TRUE(write_stream(path, c.comp, 1, ""));
    EXPECT_EQ(read_file(path), "\xFF\xFE" + widen(c.expected));
  }
}

TEST(ContainerWrite, OnlyStreamsWithoutAFileCloseIntoMemory) {
  // Refused streams are released all the same.
  TempDir dir;
  std::vector<sByte> image{1, 2, 3};
  EXPECT_EQ(fioshare_close_to_memory(open_path(dir.str("f.bin"), FIO_WRITE), image), 0);
  EXPECT_EQ(fioshare_close_to_memory(open_bytes(header('@', "@@@@") + sample_body(40)), image), 0);
  EXPECT_EQ(fioshare_close_to_memory(nullptr, image), 0);
  EXPECT_EQ(image, (std::vector<sByte>{1, 2, 3}));
}

TEST(ContainerWrite, WriteErrorsFailTheClose) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  sFioShareFile* w = open_path("/dev/full", FIO_WRITE, FIO_COMP_ZLIB, 0);
  ASSERT_NE(w, nullptr);
  const std::string body = sample_body(100000);
  ASSERT_EQ(fioshare_write(w, body.data(), static_cast<sUInt>(body.size())), body.size());
  EXPECT_FALSE(fioshare_file_close(w));
}

// A direct stream writes the same file as a collecting one, in pieces of
// any size; only uncompressed write streams with a file and no body yet
// become direct.
TEST(ContainerWrite, DirectStreamWritesTheSameFile) {
  TempDir dir;
  const std::string path = dir.str("d.bin");
  const std::string body = sample_body(70000);
  for (int unicode = 0; unicode <= 1; ++unicode) {
    sFioShareFile* w = open_path(path, FIO_WRITE, FIO_COMP_NONE, unicode);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(fioshare_write_direct(w), 1);
    EXPECT_EQ(fioshare_write_direct(w), 0);  // once
    std::size_t at = 0;
    for (std::size_t piece = 1; at < body.size(); piece = piece * 3 + 1) {
      const sUInt n = static_cast<sUInt>(std::min(piece, body.size() - at));
      ASSERT_EQ(fioshare_write(w, body.data() + at, n), n);
      at += n;
    }
    EXPECT_EQ(w->body_size, 0u);  // nothing held
    EXPECT_TRUE(fioshare_file_close(w));
    const std::string head = header('@', "@@@@");
    EXPECT_EQ(read_file(path), (unicode ? std::string("\xFF\xFE") + widen(head) : head) + body);
  }

  sFioShareFile* zlib = open_path(path, FIO_WRITE, FIO_COMP_ZLIB, 0);
  ASSERT_NE(zlib, nullptr);
  EXPECT_EQ(fioshare_write_direct(zlib), 0);
  EXPECT_TRUE(fioshare_file_close(zlib));
  sFioShareFile* started = open_path(path, FIO_WRITE, FIO_COMP_NONE, 0);
  ASSERT_NE(started, nullptr);
  ASSERT_EQ(fioshare_write(started, "ab", 2), 2u);
  EXPECT_EQ(fioshare_write_direct(started), 0);
  EXPECT_TRUE(fioshare_file_close(started));
  EXPECT_EQ(read_file(path), header('@', "@@@@") + "ab");
  sFioShareFile* memory = fioshare_file_create_ex(nullptr, FIO_WRITE, FIO_COMP_NONE, 0);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(fioshare_write_direct(memory), 0);
  fioshare_file_close(memory);
}

TEST(ContainerWrite, DirectWriteErrorsFailTheWriteAndTheClose) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  sFioShareFile* w = open_path("/dev/full", FIO_WRITE, FIO_COMP_NONE, 0);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(fioshare_write_direct(w), 1);
  const std::string body = sample_body(100000);
  EXPECT_EQ(fioshare_write(w, body.data(), static_cast<sUInt>(body.size())), kWriteFailed);
  EXPECT_EQ(fioshare_write(w, "x", 1), kWriteFailed);
  EXPECT_FALSE(fioshare_file_close(w));
}

TEST(ContainerWrite, HuffmanResultThatWouldNotFitFailsTheClose) {
  // Every value equally often: one value needs 9 bits, costing size/2048
  // bytes beyond the body, more than the 1024 spare bytes at 2 MiB.
  TempDir dir;
  std::string body(2 << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + (i >> 8));
  EXPECT_FALSE(write_stream(dir.str("big.bin"), FIO_COMP_HUFF, 0, body));
  // zlib gets the room it needs for incompressible data.
  std::mt19937 rng(3);
  for (char& c : body) c = static_cast<char>(rng());
  body.resize(6 << 20);
  for (std::size_t i = 2 << 20; i < body.size(); ++i) body[i] = static_cast<char>(rng());
  ASSERT_TRUE(write_stream(dir.str("rand.bin"), FIO_COMP_ZLIB, 0, body));
  sFioShareFile* r = open_path(dir.str("rand.bin"), FIO_READ, 0, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(body_of(r) == body);
  fioshare_file_close(r);
}

TEST(ContainerRead, FilesBeyondThirtyTwoBitsAreRefused) {
  TempDir dir;
  const auto path = dir.path() / "huge.bin";
  write_file(path, header('@', "@@@@") + std::string(40, 'x'));
  std::error_code ec;
  std::filesystem::resize_file(path, 0x100000000ull, ec);  // sparse: no data written
  if (ec) GTEST_SKIP() << "cannot make a sparse file here";
  EXPECT_EQ(open_path(path.string(), FIO_READ, 0, 0), nullptr);
}

TEST(ContainerRead, AllocationFailuresAreRefusedWithoutLeaks) {
  const std::string body = sample_body(2000);
  for (const std::string& bytes : {header('@', "@@@@") + body, header('F', le32(2000)) + zlib_of(body),
                                   header('B', le32(2308)) + huff_of(body)}) {
    int failures = 0;
    for (long n = 0; n < 10; ++n) {
      vexlor_mem_fail_after(n);
      sFioShareFile* r = open_bytes(bytes);
      vexlor_mem_fail_after(-1);
      if (r == nullptr) {
        ++failures;
        continue;
      }
      EXPECT_EQ(body_of(r), body);
      fioshare_file_close(r);
    }
    EXPECT_GE(failures, 2);
  }
}

TEST(ContainerRead, RandomDamageNeverEscapesTheInput) {
  const std::string body = sample_body(3000);
  const std::string files[] = {header('F', le32(3000)) + zlib_of(body), header('B', le32(3308)) + huff_of(body),
                               "\xFF\xFE" + widen(header('B', le32(3308))) + huff_of(body)};
  std::mt19937 rng(11);
  for (const std::string& good : files) {
    for (int round = 0; round < 300; ++round) {
      std::string bad = good;
      for (int k = 0; k < 1 + round % 4; ++k) bad[rng() % bad.size()] = static_cast<char>(rng());
      if (round % 5 == 0) bad.resize(rng() % bad.size());
      sFioShareFile* r = open_bytes(bad);
      if (r != nullptr) {
        EXPECT_LE(r->body_size, 0xFFFFFFFFu);
        fioshare_file_close(r);
      }
    }
  }
}

}  // namespace
