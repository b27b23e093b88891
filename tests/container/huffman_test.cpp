#include "container/huffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<sByte>;

sUInt le32_at(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<sUInt>(b[at + 3]) << 24);
}

std::vector<sUInt> counts_of(const Bytes& encoded) {
  std::vector<sUInt> counts;
  for (sUInt len = 1; len <= 11; ++len) counts.push_back(le32_at(encoded, 8 + 4 * (len - 1)));
  return counts;
}

Bytes encode(const Bytes& data) {
  Bytes out(data.size() + 1024);
  sUInt n = 0;
  EXPECT_TRUE(huff_encode(data.data(), static_cast<sUInt>(data.size()), out.data(), static_cast<sUInt>(out.size()), &n));
  out.resize(n);
  return out;
}

// Decodes the coded data after the table into `expected` bytes; the result
// holds what was produced.
Bytes decode(const Bytes& encoded, sUInt expected, sUInt coded_length) {
  Bytes out(expected);
  const sUInt n = huff_decode(encoded.data(), encoded.data() + 308, coded_length, out.data(), expected);
  EXPECT_NE(n, kHuffTableRefused);
  out.resize(std::min<sUInt>(n, expected));
  return out;
}

Bytes decode(const Bytes& encoded, sUInt expected) {
  return decode(encoded, expected, static_cast<sUInt>(encoded.size() - 308));
}

TEST(HuffEncode, EmptyDataIsTheEndCodeAlone) {
  const Bytes out = encode({});
  ASSERT_EQ(out.size(), 312u);
  EXPECT_EQ(le32_at(out, 0), 4u);
  EXPECT_EQ(le32_at(out, 4), 0u);
  EXPECT_EQ(counts_of(out), (std::vector<sUInt>{0, 0, 0, 0, 0, 0, 0, 255, 2, 0, 0}));
  EXPECT_EQ(le32_at(out, 308), 0x000001FFu);
  EXPECT_TRUE(decode(out, 0).empty());
}

TEST(HuffEncode, TenEqualBytesTakeOneBitEach) {
  const Bytes data(10, 0x41);
  const Bytes out = encode(data);
  ASSERT_EQ(out.size(), 312u);
  EXPECT_EQ(le32_at(out, 0), 4u);
  EXPECT_EQ(le32_at(out, 4), 10u);
  EXPECT_EQ(counts_of(out), (std::vector<sUInt>{1, 0, 0, 0, 0, 0, 0, 0, 256, 0, 0}));
  EXPECT_EQ(out[52 + 255], 0x41);            // the most frequent byte is listed last
  EXPECT_EQ(le32_at(out, 308), 0x1FFu << 10);  // ten zero bits, then nine ones
  EXPECT_EQ(decode(out, 10), data);
}

TEST(HuffEncode, AllValuesEquallyOftenPutTheEndCodeAtNineBits) {
  Bytes data;
  for (int round = 0; round < 3; ++round)
    for (int v = 0; v < 256; ++v) data.push_back(static_cast<sByte>(v));
  const Bytes out = encode(data);
  EXPECT_EQ(counts_of(out), (std::vector<sUInt>{0, 0, 0, 0, 0, 0, 0, 255, 2, 0, 0}));
  // 255 bytes of 8 bits, one of 9, each three times, and the 9-bit end code.
  const sUInt bits = 3 * (255 * 8 + 9) + 9;
  EXPECT_EQ(le32_at(out, 0), (bits + 31) / 32 * 4);
  // The list is a permutation of the byte values.
  Bytes list(out.begin() + 52, out.begin() + 308);
  std::sort(list.begin(), list.end());
  for (int v = 0; v < 256; ++v) EXPECT_EQ(list[v], v);
  EXPECT_EQ(decode(out, static_cast<sUInt>(data.size())), data);
}

Bytes random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<sByte>(rng());
  return b;
}

// Geometric frequencies push the tree far past 11 levels, so the counts
// must be clamped and repaired.
Bytes skewed_bytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) {
    const sUInt r = rng();
    x = static_cast<sByte>(r == 0 ? 255 : __builtin_ctz(r) * 7);
  }
  return b;
}

Bytes text_bytes(std::size_t n) {
  const std::string words = "BLOCK ( name \"value\" 0x1F 1.5 ) // comment\r\n\tSUB { 42 }\n";
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<sByte>(words[(i * 31 + i / 7) % words.size()]);
  return b;
}

TEST(HuffRoundTrip, VariedDataComesBackUnchanged) {
  struct Case {
    const char* what;
    Bytes data;
  };
  std::vector<Case> cases = {
      {"one byte", {0x00}},
      {"one high byte", {0xFF}},
      {"two values", {1, 2, 1, 2, 1}},
      {"skewed", skewed_bytes(100000, 1)},
      {"random", random_bytes(5000, 2)},
      {"text", text_bytes(65537)},
      {"1 MiB skewed", skewed_bytes(1 << 20, 3)},
      {"1 MiB text", text_bytes(1 << 20)},
  };
  for (std::size_t n = 1; n < 40; ++n) cases.push_back({"short", text_bytes(n)});
  for (const Case& c : cases) {
    const Bytes out = encode(c.data);
    ASSERT_GE(out.size(), 312u) << c.what;
    EXPECT_TRUE(huff_table_is_complete(out.data())) << c.what;
    EXPECT_EQ(le32_at(out, 0), out.size() - 308) << c.what;
    EXPECT_EQ(le32_at(out, 4), c.data.size()) << c.what;
    EXPECT_TRUE(decode(out, static_cast<sUInt>(c.data.size())) == c.data) << c.what << " " << c.data.size();
  }
}

TEST(HuffDecode, ShorterExpectedLengthYieldsThePrefix) {
  const Bytes data = text_bytes(1000);
  const Bytes out = encode(data);
  for (sUInt expected : {0u, 1u, 999u}) {
    EXPECT_EQ(decode(out, expected), Bytes(data.begin(), data.begin() + expected));
  }
}

TEST(HuffDecode, CodedDataEndingEarlyGivesFewerBytes) {
  const Bytes data = text_bytes(1000);
  const Bytes out = encode(data);
  const sUInt coded = static_cast<sUInt>(out.size() - 308);
  for (sUInt cut : {12u, 13u, 64u, coded - 8}) {
    EXPECT_LT(decode(out, 1000, coded - cut).size(), 1000u) << cut;
  }
  // A missing zero tail of the last word changes nothing: missing bits read as zeros.
  Bytes trimmed = out;
  while (trimmed.back() == 0) trimmed.pop_back();
  EXPECT_EQ(decode(out, 1000, static_cast<sUInt>(trimmed.size() - 308)), data);
}

TEST(HuffDecode, DamagedTablesAreRefused) {
  const Bytes good = encode(text_bytes(300));
  auto with_counts = [&](std::vector<sUInt> counts) {
    Bytes t = good;
    for (sUInt i = 0; i < 11; ++i)
      for (int k = 0; k < 4; ++k) t[8 + 4 * i + k] = static_cast<sByte>(counts[i] >> (8 * k));
    return t;
  };
  const std::vector<std::vector<sUInt>> bad = {
      {0, 0, 0, 0, 0, 0, 0, 255, 1, 0, 0},           // incomplete
      {0, 0, 0, 0, 0, 0, 0, 255, 3, 0, 0},           // overfull
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2048},          // complete, 2048 codes
      {0, 0, 0, 0, 0, 0, 0, 254, 4, 0, 0},           // complete, 258 codes
      {0xFFFFFFFF, 0, 0, 0, 0, 0, 0, 255, 2, 0, 0},  // overflow bait
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},             // empty
  };
  Bytes out(300);
  for (const auto& counts : bad) {
    const Bytes t = with_counts(counts);
    EXPECT_FALSE(huff_table_is_complete(t.data()));
    EXPECT_EQ(huff_decode(t.data(), t.data() + 308, static_cast<sUInt>(t.size() - 308), out.data(), 300),
              kHuffTableRefused);
  }
  // Fewer than 257 codes is still a complete code; it simply has no end code.
  const Bytes two = with_counts({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_TRUE(huff_table_is_complete(two.data()));
  EXPECT_LE(huff_decode(two.data(), two.data() + 308, static_cast<sUInt>(two.size() - 308), out.data(), 300), 300u);
}

TEST(HuffDecode, CorruptCodedDataNeverWritesPastTheOutput) {
  const Bytes data = skewed_bytes(4000, 5);
  const Bytes good = encode(data);
  std::mt19937 rng(9);
  for (int round = 0; round < 200; ++round) {
    Bytes bad = good;
    for (int k = 0; k < 3; ++k) bad[308 + rng() % (bad.size() - 308)] ^= static_cast<sByte>(1 + rng() % 255);
    std::vector<sByte> out(data.size());  // exactly the expected length, so ASan sees any overrun
    const sUInt n = huff_decode(bad.data(), bad.data() + 308, static_cast<sUInt>(bad.size() - 308), out.data(),
                                static_cast<sUInt>(data.size()));
    EXPECT_LE(n, data.size());
  }
}

TEST(HuffEncode, ResultThatDoesNotFitFails) {
  const Bytes data = random_bytes(3000, 4);
  Bytes big(data.size() + 1024);
  sUInt need = 0;
  ASSERT_TRUE(huff_encode(data.data(), static_cast<sUInt>(data.size()), big.data(), static_cast<sUInt>(big.size()), &need));
  Bytes exact(need);
  sUInt n = 0;
  EXPECT_TRUE(huff_encode(data.data(), static_cast<sUInt>(data.size()), exact.data(), need, &n));
  EXPECT_EQ(n, need);
  EXPECT_TRUE(exact == Bytes(big.begin(), big.begin() + need));
  Bytes small(need - 1);
  EXPECT_FALSE(huff_encode(data.data(), static_cast<sUInt>(data.size()), small.data(), need - 1, &n));
  Bytes tiny(100);
  EXPECT_FALSE(huff_encode(nullptr, 0, tiny.data(), 100, &n));
}

}  // namespace
