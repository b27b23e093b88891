#include "shape/value_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "shape/shape_tree.h"

namespace {

std::u16string u(const char* s) { return std::u16string(s, s + std::strlen(s)); }

struct IntCase {
  const char* text;
  int result;
  sUInt value;  // only when result is kScanConverted
};

// The integer conversions behave as scanf on the x86-64 GNU C library:
// strtol/strtoul with a 64-bit long, then the store into 32 bits.
TEST(ValueTextTest, SignedScanAcceptsAndWrapsLikeScanf) {
  const IntCase cases[] = {
      {"42", 1, 42},
      {"  \t\n-3", 1, static_cast<sUInt>(-3)},
      {"+7", 1, 7},
      {"007", 1, 7},
      {"12abc", 1, 12},
      {"0x10", 1, 0},  // "%d" stops at the x
      {"-2147483648", 1, 0x80000000u},
      {"2147483648", 1, 0x80000000u},           // fits in a long, low 32 bits kept
      {"4294967295", 1, 0xFFFFFFFFu},
      {"9223372036854775807", 1, 0xFFFFFFFFu},
      {"9223372036854775808", 1, 0xFFFFFFFFu},  // clamped to LONG_MAX
      {"-9223372036854775809", 1, 0},           // clamped to LONG_MIN
      {"99999999999999999999999", 1, 0xFFFFFFFFu},
      {"-", 0, 0},
      {"+", 0, 0},
      {"--5", 0, 0},
      {"x1", 0, 0},
      {"", -1, 0},
      {"   ", -1, 0},
  };
  for (const auto& c : cases) {
    sInt v = 12345;
    EXPECT_EQ(scan_sint_text(u(c.text).c_str(), &v), c.result) << c.text;
    if (c.result == kScanConverted) {
      EXPECT_EQ(static_cast<sUInt>(v), c.value) << c.text;
    } else {
      EXPECT_EQ(v, 12345) << c.text;
    }
  }
}

TEST(ValueTextTest, UnsignedAndHexScanAcceptLikeScanf) {
  const IntCase unsigned_cases[] = {
      {"4294967295", 1, 0xFFFFFFFFu},
      {"4294967296", 1, 0},  // a 64-bit unsigned long keeps it; the store drops the top
      {"-1", 1, 0xFFFFFFFFu},
      {"18446744073709551616", 1, 0xFFFFFFFFu},  // ULONG_MAX
      {"5x", 1, 5},
      {"a5", 0, 0},
  };
  for (const auto& c : unsigned_cases) {
    sUInt v = 12345;
    EXPECT_EQ(scan_uint_text(u(c.text).c_str(), &v), c.result) << c.text;
    EXPECT_EQ(v, c.result == kScanConverted ? c.value : 12345u) << c.text;
  }
  const IntCase hex_cases[] = {
      {"1F", 1, 0x1F},
      {"0x1f", 1, 0x1F},
      {"0X", 1, 0},      // the prefix is taken, the zero is the number
      {"-0x1", 1, 0xFFFFFFFFu},
      {"1ff", 1, 0x1FF},
      {"1ffffffff", 1, 0xFFFFFFFFu},
      {"ff00ff00ff", 1, 0x00ff00ffu},
      {"fffffffffffffffff", 1, 0xFFFFFFFFu},
      {"g1", 0, 0},
      {"x1", 0, 0},
  };
  for (const auto& c : hex_cases) {
    sUInt v = 12345;
    EXPECT_EQ(scan_hex_text(u(c.text).c_str(), &v), c.result) << c.text;
    EXPECT_EQ(v, c.result == kScanConverted ? c.value : 12345u) << c.text;
  }
}

struct FloatCase {
  const char* text;
  int result;
  float value;
};

TEST(ValueTextTest, FloatScanTakesWhatScanfTakes) {
  const float inf = std::numeric_limits<float>::infinity();
  const FloatCase cases[] = {
      {"1.5", 1, 1.5f},
      {" -2.5e3", 1, -2500.0f},
      {"2.5x", 1, 2.5f},
      {"1e", 1, 1.0f},  // the library converts the "1" of "1e"
      {"1e+", 1, 1.0f},
      {".5", 1, 0.5f},
      {"5.", 1, 5.0f},
      {"0x1.8p1", 1, 3.0f},
      {"0x1p", 1, 1.0f},
      {"0x.", 1, 0.0f},
      {"inf", 1, inf},
      {"-Infinity", 1, -inf},
      {"infx", 1, inf},
      {"1e39", 1, inf},
      {"1e-50", 1, 0.0f},
      {"0x1p-149", 1, std::numeric_limits<float>::denorm_min()},
      {"infin", 0, 0},  // once "infi" is read the whole word must follow
      {"na", 0, 0},
      {"0x", 0, 0},
      {".", 0, 0},
      {"-", 0, 0},
      {"x1", 0, 0},
      {"e5", 0, 0},
      {"", -1, 0},
      {" ", -1, 0},
  };
  for (const auto& c : cases) {
    float v = 7.0f;
    EXPECT_EQ(scan_float_text(u(c.text).c_str(), &v), c.result) << c.text;
    EXPECT_EQ(v, c.result == kScanConverted ? c.value : 7.0f) << c.text;
  }
  float nan_value = 0;
  EXPECT_EQ(scan_float_text(u"-nan(12)", &nan_value), 1);
  EXPECT_TRUE(std::isnan(nan_value));
  EXPECT_TRUE(std::signbit(nan_value));
}

TEST(ValueTextTest, NumbersFormatAsPrintfWould) {
  char16_t text[kValueTextUnits];
  format_sint_text(-3, text);
  EXPECT_EQ(std::u16string(text), u"-3");
  format_sint_text(INT32_MIN, text);
  EXPECT_EQ(std::u16string(text), u"-2147483648");
  format_uint_text(4294967295u, text);
  EXPECT_EQ(std::u16string(text), u"4294967295");
  format_dword_text(42, text);
  EXPECT_EQ(std::u16string(text), u"0000002a");
  format_dword_text(0xDEADBEEF, text);
  EXPECT_EQ(std::u16string(text), u"deadbeef");
  format_byte_text(42, text);
  EXPECT_EQ(std::u16string(text), u"2a");
  format_byte_text(0x1FF, text);
  EXPECT_EQ(std::u16string(text), u"ff");
}

TEST(ValueTextTest, IntegersFormatAsToCharsAtEveryLength) {
  std::vector<std::int64_t> values = {0, INT32_MIN, INT32_MAX, UINT32_MAX};
  for (std::int64_t power = 1; power <= 10000000000; power *= 10) {
    for (std::int64_t near : {power - 1, power, power + 1, -power + 1, -power, -power - 1}) values.push_back(near);
  }
  for (std::int64_t v = -100000; v < 100000; v += 7) values.push_back(v * 21481);
  for (std::int64_t v : values) {
    char expected[24];
    char16_t text[kValueTextUnits];
    if (v >= INT32_MIN && v <= INT32_MAX) {
      auto end = std::to_chars(expected, expected + sizeof expected, static_cast<std::int32_t>(v)).ptr;
      const sUInt length = format_sint_text(static_cast<sInt>(v), text);
      EXPECT_EQ(std::u16string(text), u(std::string(expected, end).c_str())) << v;
      EXPECT_EQ(length, sUInt(end - expected));
    }
    if (v >= 0 && v <= UINT32_MAX) {
      auto end = std::to_chars(expected, expected + sizeof expected, static_cast<std::uint32_t>(v)).ptr;
      const sUInt length = format_uint_text(static_cast<sUInt>(v), text);
      EXPECT_EQ(std::u16string(text), u(std::string(expected, end).c_str())) << v;
      EXPECT_EQ(length, sUInt(end - expected));
    }
  }
}

// "%g" where it keeps the value, more digits only where "%g" would change it.
TEST(ValueTextTest, FloatTextKeepsTheValue) {
  struct Case {
    float value;
    const char16_t* text;
  } cases[] = {
      {1.5f, u"1.5"},
      {0.1f, u"0.1"},
      {100.0f, u"100"},
      {-0.0f, u"-0"},
      {1e-5f, u"1e-05"},
      {1.0f / 3.0f, u"0.33333334"},
      {16777216.0f, u"16777216"},
      {3.14159274f, u"3.1415927"},
      {std::numeric_limits<float>::max(), u"3.4028235e+38"},
      {std::numeric_limits<float>::denorm_min(), u"1.4013e-45"},
      {std::numeric_limits<float>::infinity(), u"inf"},
      {-std::numeric_limits<float>::infinity(), u"-inf"},
  };
  for (const auto& c : cases) {
    char16_t text[kValueTextUnits];
    format_float_text(c.value, text);
    EXPECT_EQ(std::u16string(text), c.text);
  }
}

TEST(ValueTextTest, EveryFloatSurvivesFormatAndScan) {
  // A spread of bit patterns across every exponent, with ragged mantissas.
  for (sUInt bits = 1; bits < 0x7F800000u; bits += 0x00012345u) {
    for (sUInt sign : {0u, 0x80000000u}) {
      sUInt pattern = bits | sign;
      float value;
      std::memcpy(&value, &pattern, 4);
      char16_t text[kValueTextUnits];
      format_float_text(value, text);
      float back = 0;
      ASSERT_EQ(scan_float_text(text, &back), kScanConverted);
      sUInt back_bits;
      std::memcpy(&back_bits, &back, 4);
      ASSERT_EQ(back_bits, pattern) << std::string(text, text + std::char_traits<char16_t>::length(text));
    }
  }
}

// Floats where the decision is closest to an edge, by their bits.
TEST(ValueTextTest, FloatTextsAtTheEdgesOfTheRule) {
  struct Case {
    sUInt bits;
    const char16_t* text;
  } cases[] = {
      // Powers of two whose shortest round-trip digits are not the rounded
      // text: the nearest eight digits fall into the narrower gap below.
      {0x0F800000u, u"1.26217745e-29"},
      {0x6B000000u, u"1.54742505e+26"},
      {0x6C800000u, u"1.23794004e+27"},
      // An exact tie at eight digits goes to the even digit; no tie at eight.
      {0x48000008u, u"131072.12"},
      {0x48000010u, u"131072.25"},
      // The end of the interval met exactly: kept by an even mantissa, not
      // by an odd one (which takes one digit more).
      {0x4C000004u, u"3.355445e+07"},
      {0x4C000005u, u"33554452"},
      // Rounded up into the next decade.
      {0x358637BDu, u"1e-06"},
      // Subnormals, the smallest normal, and a negative.
      {0x00000001u, u"1.4013e-45"},
      {0x007FFFFFu, u"1.1754942e-38"},
      {0x00800000u, u"1.1754944e-38"},
      {0x80000001u, u"-1.4013e-45"},
  };
  for (const auto& c : cases) {
    char16_t text[kValueTextUnits];
    float value;
    std::memcpy(&value, &c.bits, sizeof value);
    const sUInt length = format_float_text(value, text);
    EXPECT_EQ(std::u16string(text, length), c.text) << std::hex << c.bits;
    EXPECT_EQ(text[length], 0) << std::hex << c.bits;
  }
}

// A value by its node type gives the text of that type's form.
TEST(ValueTextTest, ValuesFormatByNodeType) {
  struct Case {
    sUInt type;
    sUInt value;
    const char16_t* text;
  } cases[] = {
      {SHN_SINT, 0xFFFFFFFEu, u"-2"},  {SHN_UINT, 0xFFFFFFFEu, u"4294967294"},
      {SHN_DWORD, 0xFEu, u"000000fe"}, {SHN_BYTE, 0x1FEu, u"fe"},
      {SHN_FLOAT, 0x3FC00000u, u"1.5"}, {SHN_STRING, 7, u""},
      {SHN_PARENT, 7, u""},
  };
  for (const auto& c : cases) {
    char16_t text[kValueTextUnits];
    const sUInt length = format_value_text(c.type, c.value, text);
    EXPECT_EQ(std::u16string(text, length), c.text) << c.type;
    EXPECT_EQ(text[length], 0) << c.type;
  }
}

// The quick float texts against the plain search, where the arithmetic is
// closest to its limits: around powers of two (a narrower gap below), around
// powers of ten (where the exponent changes), subnormals, exact halves at
// six to nine digits, the largest floats, and a spread of everything else.
TEST(ValueTextTest, QuickFloatTextsMatchTheSearch) {
  std::vector<sUInt> patterns;
  for (sUInt bits = 0; bits < 0x7F800000u; bits += 0x00000F3Du) patterns.push_back(bits);
  for (sUInt exponent = 0; exponent < 255; ++exponent) {
    for (sUInt near = 0; near < 40; ++near) {
      patterns.push_back((exponent << 23) + near);
      if (exponent != 0) patterns.push_back((exponent << 23) - 1 - near);
    }
  }
  for (double power = 1e-45; power < 3.5e38; power *= 10) {
    float f = static_cast<float>(power);
    sUInt bits;
    std::memcpy(&bits, &f, 4);
    for (sUInt near = 0; near < 200; ++near) patterns.push_back(bits - 100 + near);
  }
  for (sUInt bits = 1; bits < 0x00100000u; bits += 0x0000007Fu) patterns.push_back(bits);
  for (sUInt bits = 0x7F7FFFFFu; bits > 0x7F7F0000u; --bits) patterns.push_back(bits);
  // Halves and quarters: exact ties when their digits run one past the precision.
  for (int i = 0; i < 200000; ++i) {
    float f = static_cast<float>(i) * 0.25f + 10000.0f;
    sUInt bits;
    std::memcpy(&bits, &f, 4);
    patterns.push_back(bits);
    f = static_cast<float>(i) * 0.37f - 100.0f;
    std::memcpy(&bits, &f, 4);
    patterns.push_back(bits);
  }
  for (sUInt bits : {0x7F800000u, 0x7FC00000u, 0x7FA00001u}) patterns.push_back(bits);
  for (sUInt pattern : patterns) {
    for (sUInt sign : {0u, 0x80000000u}) {
      float value;
      const sUInt bits = pattern | sign;
      std::memcpy(&value, &bits, 4);
      char16_t quick[kValueTextUnits];
      char16_t searched[kValueTextUnits];
      format_float_text(value, quick);
      format_float_text_by_search(value, searched);
      ASSERT_EQ(std::u16string(quick), std::u16string(searched)) << std::hex << bits;
    }
  }
}

// Plain decimals ("-12.5", "0.0625", "3.") are converted without the general
// routine where that is exact; every such text must still read as strtof
// reads it, up to and past the limits of that shortcut.
TEST(ValueTextTest, PlainDecimalsReadAsStrtofReadsThem) {
  std::mt19937 random(20261208);
  std::vector<std::string> texts = {"16777216", "16777217", "16777218", "1677721.7", "0.0000000001",
                                    "0.00000000001", "9999999999", "0.1", "0.2", "0.3", "5.", ".5", "-0",
                                    "-0.0", "000000000000000001.5", "1.00000000000000000001"};
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    if (random() % 2 != 0) text += '-';
    const int whole = static_cast<int>(random() % 10);
    const int fraction = static_cast<int>(random() % 13);
    for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + random() % 10);
    if (fraction != 0 || whole == 0) text += '.';
    for (int d = 0; d < fraction; ++d) text += static_cast<char>('0' + random() % 10);
    if (whole == 0 && fraction == 0) text += '0';
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    const float expected = std::strtof(text.c_str(), nullptr);
    float value = 0;
    ASSERT_EQ(scan_float_text(u(text.c_str()).c_str(), &value), kScanConverted) << text;
    ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text << " " << value << " " << expected;
  }
}

}  // namespace
