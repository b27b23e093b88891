// Grammar files and token definitions for the grammar tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bnf/bnf_parser.h"
#include "bnf/tokenizer.h"
#include "support/test_support.h"
#include "tables/sidn.h"
#include "tables/stoken.h"

namespace bnftest {

// The header every test grammar needs: type "w", version "1".
inline const std::u16string kHeader = u"FILE_TYPE = \"w\" .\nFILE_TYPE_VER = \"1\" .\n";

// Token definitions naming "item" and "Shape" for "==>" rules, loaded from
// a SIDN file and a token definition file written into `dir`.
inline void load_token_names(const vxtest::TempDir& dir, sTokenTable& tokens) {
  vxtest::write_file(dir.str("sidn.txt"), "enum {\nSIDN_TEST = 0x0002,\n};\n");
  vxtest::write_file(dir.str("tokens.h"),
                     "SID_DEFINE_FIRST_ID(SIDN_TEST)\n"
                     "SIDDEF(ID_ITEM, \"item\")\n"
                     "SIDDEF(ID_SHAPE, \"Shape\")\n");
  sReporter rep;
  sSIDNTable* sidn = nullptr;
  ASSERT_TRUE(tokutil_load_sidn_table(rep, sidn, vxtest::u16(dir.str("sidn.txt")).c_str()));
  const bool loaded = tokutil_load_stoken_table(rep, tokens, sidn, vxtest::u16(dir.str("tokens.h")).c_str(), nullptr);
  tokutil_free_sidn_table(sidn);
  ASSERT_TRUE(loaded);
}

// Writes `text` as a UTF-16 little-endian grammar file and returns its path.
inline std::u16string write_grammar(const vxtest::TempDir& dir, const std::string& name, const std::u16string& text,
                                    bool bom = false) {
  std::string path = dir.str(name);
  vxtest::write_file(path, vxtest::utf16le(text, bom));
  return vxtest::u16(path);
}

// A temporary directory with the token definitions loaded, a tokenizer and
// a reporter that keeps what it is given.
class GrammarTest : public ::testing::Test {
 protected:
  void SetUp() override { load_token_names(dir_, tokens_); }
  void TearDown() override {
    EXPECT_FALSE(tokenizer_is_open(*tz_));
    tokutil_free_stoken_table(tokens_);
  }

  vxtest::TempDir dir_;
  vxtest::DebugCapture debug_;
  sTokenTable tokens_;
  std::unique_ptr<sTokenizer> tz_ = std::make_unique<sTokenizer>();
};

}  // namespace bnftest
