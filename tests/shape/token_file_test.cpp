#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <filesystem>

#include "container/fioshare.h"
#include "shape/binary_writer.h"
#include "shape/shape_test_support.h"
#include "shape/shape_tree.h"
#include "shape/token_file.h"
#include "support/alloc_hook.h"

namespace {

// The body of a token file held in a stream over memory.
sFioShareFile* memory_stream(const std::string& bytes) {
  return fioshare_open_memory(reinterpret_cast<const sByte*>(bytes.data()), static_cast<sUInt>(bytes.size()));
}

TEST(BodyHeaderTest, AcceptsTheMagicAFormatUpToZeroAndAForm) {
  struct Case {
    const char* header;
    int result;
  } cases[] = {
      {"TORV0w1t........", 1}, {"TORV0w1b........", 1}, {"TORV w1t........", 1},  // a format below "0" passes
      {"TORV1w1t........", 0}, {"TORV0w1x........", 0}, {"TORVOw1t........", 0},
      {"TORX0w1t........", 0}, {"torv0w1t........", 0},
  };
  for (const auto& c : cases) {
    // Padded: a stream shorter than a container header does not open.
    sFioShareFile* stream = memory_stream(std::string(c.header) + std::string(32, ' '));
    ASSERT_NE(stream, nullptr);
    sByte header[kBodyHeaderBytes] = {};
    EXPECT_EQ(read_body_header(stream, header), c.result) << c.header;
    if (c.result == 1) {
      EXPECT_EQ(std::memcmp(header, c.header, kBodyHeaderBytes), 0);
    }
    fioshare_file_close(stream);
  }
}

TEST(BodyHeaderTest, UnicodeStreamTakesTheLowByteOfEachUnit) {
  const std::string bytes = "\xFF\xFE" + vxtest::utf16le(u"KALDOA@@@@@@@@@@TORV0w1t@@@@@@@@x");
  sFioShareFile* stream = memory_stream(bytes);
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(fioshare_is_unicode(stream), 1u);
  sByte header[kBodyHeaderBytes];
  EXPECT_EQ(read_body_header(stream, header), 1);
  EXPECT_EQ(std::memcmp(header, "TORV0w1t@@@@@@@@", kBodyHeaderBytes), 0);
  EXPECT_EQ(fioshare_tell(stream), 32u);
  fioshare_file_close(stream);

  // A body that ends inside the header is refused.
  stream = memory_stream("\xFF\xFE" + vxtest::utf16le(u"KALDOA@@@@@@@@@@TORV0w1t@@@@@@@"));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(read_body_header(stream, header), 0);
  fioshare_file_close(stream);
}

class TokenFileTest : public ::testing::Test {
 protected:
  TokenFileTest() {
    dir_.chdir();
    table_ = shapetest::load_grammar(ctx_, "test.bnf",
                                     u"FILE = { :Shape } .\nShape ==> :uint :float :token [ :dword ] .");
  }

  void write_text_file(const char16_t* name, const std::u16string& text, sUInt comp = FIO_COMP_NONE,
                       const char16_t* header = u"TORV0w1t@@@@@@@@") {
    ASSERT_TRUE(shapetest::write_text_token_file(name, text, comp, header));
  }
  sShapeFile* read(const char16_t* name, sUInt* mark = nullptr) {
    return read_token_file(ctx_.conv, name, table_.get(), mark);
  }

  shapetest::Context ctx_{{u"Shape", 0x00010002u}, {u"Point", 0x00010003u}};
  vxtest::TempDir dir_;
  shapetest::OwnedGrammar table_;
};

// The stream a peek opened is the one the read of the same file takes: the
// file is not opened (nor decompressed) a second time.
TEST_F(TokenFileTest, PeekReadsTheBodyHeaderAndKeepsTheStreamForTheRead) {
  write_text_file(u"a.s", u"Shape ( 1 1.5 Point )", FIO_COMP_ZLIB);
  write_text_file(u"b.s", u"Shape ( 2 2.5 Point )");
  sByte header[kBodyHeaderBytes];
  ASSERT_EQ(peek_token_file(ctx_.conv, u"a.s", header), 1);
  EXPECT_EQ(header[kBodyTypeByte], 'w');
  EXPECT_EQ(header[kBodyFormByte], 't');
  std::filesystem::remove("a.s");
  sUInt mark = 0;
  sShapeFile* file = read(u"a.s", &mark);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(mark, sUInt(FIO_COMP_ZLIB));
  free_shape_file(file);
  // Taken once only.
  EXPECT_EQ(read(u"a.s"), nullptr);

  // A later peek gives up the stream kept before it; a read of another file
  // opens that file.
  write_text_file(u"a.s", u"Shape ( 1 1.5 Point )");
  ASSERT_EQ(peek_token_file(ctx_.conv, u"a.s", header), 1);
  ASSERT_EQ(peek_token_file(ctx_.conv, u"b.s", header), 1);
  std::filesystem::remove("a.s");
  EXPECT_EQ(read(u"a.s"), nullptr);
  file = read(u"b.s");
  ASSERT_NE(file, nullptr);
  free_shape_file(file);
  EXPECT_EQ(peek_token_file(ctx_.conv, u"missing.s", header), 0);
}

TEST_F(TokenFileTest, TextFileBecomesANormalisedTree) {
  for (sUInt comp : {FIO_COMP_NONE, FIO_COMP_ZLIB}) {
    write_text_file(u"a.s", u"Shape ( 007 1.5 point )\r\nShape Named ( 3 2 Shape 1F )", comp);
    sUInt mark = 0;
    sShapeFile* file = read(u"a.s", &mark);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(mark, comp);
    EXPECT_EQ(std::memcmp(file->header, "TORV0w1t@@@@@@@@", kBodyHeaderBytes), 0);
    const sShapeItemNode* block = file->first;
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->type, SHN_PARENT);
    const auto first = shapetest::flat_items(block->child);  // the name and "(" first
    ASSERT_EQ(first.size(), 6u);
    EXPECT_EQ(first[2].value, 7u);
    EXPECT_EQ(first[2].text, u"7");                 // a number keeps its value alone
    EXPECT_EQ(first[3].value, 0x3FC00000u);         // 1.5f
    EXPECT_EQ(first[4].value, 0x00010003u);         // the token's id
    EXPECT_EQ(first[4].text, u"point");
    const sShapeItemNode* second = block->next;
    ASSERT_NE(second, nullptr);
    const auto items = shapetest::flat_items(second->child);
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[6].type, SHN_DWORD);
    EXPECT_EQ(items[6].value, 0x1Fu);
    EXPECT_EQ(second->next, nullptr);
    free_shape_file(file);
  }
}

TEST_F(TokenFileTest, TextReadWrittenAsBinaryReadsBackTheSameValues) {
  write_text_file(u"a.s", u"Shape Named ( 007 1.5 point 1F ) Shape ( 4294967295 -0.1 Shape )");
  sShapeFile* text = read(u"a.s");
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(write_binary_file(ctx_.conv, u"a.bin", table_.get(), text, text->first, FIO_COMP_ZLIB), 1);
  sUInt mark = 0;
  sShapeFile* binary = read(u"a.bin", &mark);
  ASSERT_NE(binary, nullptr);
  EXPECT_EQ(mark, static_cast<sUInt>(FIO_COMP_ZLIB));
  EXPECT_EQ(binary->header[kBodyFormByte], 'b');
  EXPECT_EQ(ctx_.conv.error_position, 16u + 35u + 21u);  // behind the last byte: header and two blocks
  const sShapeItemNode* a = text->first;
  const sShapeItemNode* b = binary->first;
  for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
    const auto x = shapetest::flat_items(a->child);
    const auto y = shapetest::flat_items(b->child);
    ASSERT_EQ(x.size(), y.size());
    for (size_t i = 0; i < x.size(); ++i) {
      if (x[i].type >= SHN_SINT) {
        EXPECT_EQ(x[i].type, y[i].type);
        EXPECT_EQ(x[i].value, y[i].value);
      } else {
        EXPECT_EQ(x[i].text, y[i].text);
      }
    }
  }
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b, nullptr);
  // Texts of the binary values.
  const auto values = shapetest::flat_items(binary->first->child);
  EXPECT_EQ(values[3].text, u"7");
  EXPECT_EQ(values[5].text, u"Point");
  EXPECT_EQ(values[6].text, u"0000001f");
  EXPECT_EQ(shapetest::flat_items(binary->first->next->child)[3].text, u"-0.1");
  free_shape_file(text);
  free_shape_file(binary);
}

TEST_F(TokenFileTest, StringsAtTheTokenLimitSurviveBinary) {
  table_ = shapetest::load_grammar(ctx_, "long.bnf", u"FILE = { :Shape } .\nShape ==> :string .");
  ASSERT_NE(table_, nullptr);
  const std::u16string longest(65535, u'q');
  const std::u16string half(32767, u'q');
  write_text_file(u"a.s", u"Shape ( \"" + longest + u"\" ) Shape ( \"" + half + u"\"+ \"q" + half + u"\" )");
  sShapeFile* text = read(u"a.s");
  ASSERT_NE(text, nullptr);
  // A joined string may reach the limit too.
  ASSERT_NE(text->first->next, nullptr);
  EXPECT_EQ(std::u16string(text->first->next->child->next->next->text), longest);
  ASSERT_EQ(write_binary_file(ctx_.conv, u"a.bin", table_.get(), text, text->first, FIO_COMP_NONE), 1);
  sShapeFile* binary = read(u"a.bin");
  ASSERT_NE(binary, nullptr);
  EXPECT_EQ(std::u16string(binary->first->child->next->next->text), longest);
  ASSERT_NE(binary->first->next, nullptr);
  EXPECT_EQ(std::u16string(binary->first->next->child->next->next->text), longest);
  free_shape_file(text);
  free_shape_file(binary);
}

TEST_F(TokenFileTest, FailedReadsLeaveNothingAndTellWhere) {
  struct Case {
    const char16_t* name;
    const char16_t* text;
    sUInt error_position;
  } cases[] = {
      {u"a.s", u"Shape ( 1 1.5 Unknown )", 1},          // a token value naming no token definition
      {u"b.s", u"Shape ( 1\n\n x Point )", 3},  // does not match: the line of the last token examined
      {u"noext", u"Shape ( 1 1.5 Point )", 0},
  };
  for (const auto& c : cases) {
    write_text_file(c.name, c.text);
    sUInt mark = 0;
    EXPECT_EQ(read(c.name, &mark), nullptr);
    EXPECT_EQ(ctx_.conv.error_position, c.error_position) << vxtest::narrow(c.text);
    EXPECT_FALSE(shapetest::tokenizer_busy(ctx_.conv));
  }
  ctx_.conv.error_position = 5;
  EXPECT_EQ(read(u"missing.s"), nullptr);
  EXPECT_EQ(ctx_.conv.error_position, 0u);

  write_text_file(u"bad.s", u"Shape ( 1 1.5 Point )", FIO_COMP_NONE, u"TORV1w1t@@@@@@@@");
  EXPECT_EQ(read(u"bad.s"), nullptr);
}

// Every allocation of a read in turn fails once; the read then fails or
// succeeds whole, and never leaves a tree or a stream behind.
TEST_F(TokenFileTest, ExhaustedMemoryFailsTheReadWithoutLeaks) {
  write_text_file(u"a.s", u"Shape ( 1 1.5 Point ) Shape ( 2 2.5 Shape 10 )");
  sShapeFile* text = read(u"a.s");
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(write_binary_file(ctx_.conv, u"a.bin", table_.get(), text, text->first, FIO_COMP_ZLIB), 1);
  free_shape_file(text);
  for (const char16_t* name : {u"a.s", u"a.bin"}) {
    bool succeeded = false;
    for (long n = 0; n < 400 && !succeeded; ++n) {
      vexlor_mem_fail_after(n);
      sShapeFile* file = read(name);
      vexlor_mem_fail_after(-1);
      EXPECT_FALSE(shapetest::tokenizer_busy(ctx_.conv));
      if (file != nullptr) {
        EXPECT_NE(file->first->next, nullptr) << "a read that succeeds has the whole file";
        succeeded = true;
      }
      free_shape_file(file);
    }
    EXPECT_TRUE(succeeded) << vxtest::narrow(name);
  }
}

}  // namespace
