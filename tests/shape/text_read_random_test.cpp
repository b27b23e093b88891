// Text bodies mangled at random: a read either fails cleanly or gives a
// tree that survives the binary form with every value intact.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "container/fioshare.h"
#include "shape/binary_writer.h"
#include "shape/shape_test_support.h"
#include "shape/shape_tree.h"
#include "shape/token_file.h"

namespace {

// Every value and block name of a tree in order, with its type, as text.
// A block name is a string node when read from text and a literal when read
// from binary; both have no grammar entry. An empty name is no name in
// binary.
void collect_values(const sShapeItemNode* node, std::vector<std::u16string>& out) {
  for (; node != nullptr; node = node->next) {
    if (node->type == SHN_PARENT) {
      collect_values(node->child, out);
    } else if (node->bnf_entry == nullptr) {
      const std::u16string text = node->text;
      if (!text.empty() && text != u"(" && text != u")") out.push_back(u"N" + text);
    } else if (node->type >= SHN_STRING && node->type <= SHN_TOKEN) {
      std::u16string item(1, static_cast<char16_t>(u'0' + node->type));
      if (node->type == SHN_STRING) {
        item += node->text;
      } else {
        // Only the low 8 bits of a byte reach a binary body.
        const sUInt value = node->type == SHN_BYTE ? (node->value & 0xFF) : node->value;
        for (int shift = 0; shift < 32; shift += 4) item += static_cast<char16_t>(u'a' + ((value >> shift) & 15));
      }
      out.push_back(item);
    }
  }
}

std::vector<std::u16string> values_of(const sShapeFile* file) {
  std::vector<std::u16string> values;
  collect_values(file->first, values);
  return values;
}

TEST(TextReadRandomTest, MangledBodiesFailCleanlyOrRoundTripThroughBinary) {
  shapetest::Context ctx{{u"Shape", 0x00010002u}, {u"Point", 0x00010003u}, {u"Tag", 0x00010004u}};
  vxtest::TempDir dir;
  dir.chdir();
  shapetest::OwnedGrammar table = shapetest::load_grammar(ctx, "r.bnf",
                                                          u"FILE = { :Shape } .\n"
                                                          u"Shape ==> :string :ARRAY ( :Point ) [ :Tag ] .\n"
                                                          u"Point ==> :float :float :sint .\n"
                                                          u"Tag ==> :token { :byte } .");
  ASSERT_NE(table, nullptr);

  const std::vector<std::u16string> pieces = {
      u"Shape", u"name", u"(", u"\"a b\"", u"Point", u"(", u"1.5", u"-2", u"7", u")", u"Point", u"(", u"0", u"1e3",
      u"-4", u")", u"Tag", u"(", u"Point", u"1f", u"2", u")", u")", u"Shape", u"(", u"x", u"Point", u"(", u"3",
      u"4", u"5", u")", u")"};
  const std::vector<std::u16string> noise = {u"(", u")", u"[", u"\"\"", u"\"(\"", u"Shape", u"Point", u"Tag",
                                             u"-", u"nan", u"0x1p3", u"//", u"/*", u"*/", u"|", u"ff", u"99999999999"};
  std::mt19937 rng(20261208);
  int matched = 0;
  for (int round = 0; round < 200; ++round) {
    std::vector<std::u16string> words = pieces;
    const int edits = static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !words.empty(); ++e) {
      const std::size_t at = rng() % words.size();
      switch (rng() % 4) {
        case 0: words.erase(words.begin() + static_cast<long>(at)); break;
        case 1: words.insert(words.begin() + static_cast<long>(at), noise[rng() % noise.size()]); break;
        case 2: words.insert(words.begin() + static_cast<long>(at), words[rng() % words.size()]); break;
        default: words.resize(at); break;
      }
    }
    std::u16string text;
    for (const auto& w : words) text += w + (rng() % 5 == 0 ? u"\r\n" : u" ");

    ASSERT_TRUE(shapetest::write_text_token_file(u"a.s", text));
    sShapeFile* file = read_token_file(ctx.conv, u"a.s", table.get(), nullptr);
    ASSERT_FALSE(shapetest::tokenizer_busy(ctx.conv));
    if (file == nullptr) continue;
    ++matched;
    ASSERT_EQ(write_binary_file(ctx.conv, u"a.bin", table.get(), file, file->first, FIO_COMP_ZLIB), 1)
        << vxtest::narrow(text);
    sShapeFile* binary = read_token_file(ctx.conv, u"a.bin", table.get(), nullptr);
    ASSERT_NE(binary, nullptr) << vxtest::narrow(text);
    EXPECT_EQ(values_of(file), values_of(binary)) << vxtest::narrow(text);
    free_shape_file(file);
    free_shape_file(binary);
    ctx.debug.clear();
  }
  // The mangling leaves enough bodies intact for the round trip to be tested.
  EXPECT_GT(matched, 20);
}

}  // namespace
