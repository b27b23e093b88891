// The grammar file parser.
#pragma once

#include "bnf/bnf_model.h"

// Parses one grammar file; null on failure with error_position at the line
// where the parser stopped.
sBNFTable* parse_bnf_file(const char16_t* path);
