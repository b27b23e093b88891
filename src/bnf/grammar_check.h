// Grammar constructs that a binary body cannot tell apart.
//
// A binary body holds token ids and raw values only: literal words without
// a token id leave nothing, and a value is bytes of any content. So where
// two alternatives begin the same way in binary (the same token id, or a
// value each, or the first matching nothing at all), the binary reader
// always takes the first; where an optional or repeated part and what
// follows it begin the same way, the reader always takes the part. A text
// file tells them apart, so such a grammar converts text to binary and
// then fails or changes on the way back.
#pragma once

#include <string>
#include <vector>

#include "bnf/bnf_model.h"

struct sTokenTable;

struct sGrammarWarning {
  const sBNFTokenDef* rule;  // the named rule the construct stands in
  std::u16string what;
};

// Every such construct of `table`, in the order of its rules.
std::vector<sGrammarWarning> find_binary_ambiguities(const sBNFTable& table, const sTokenTable& tokens);
