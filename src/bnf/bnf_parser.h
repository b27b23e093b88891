// The grammar file parser.
//
// Each rule and construct is read twice: count_bnf_subitems counts its entries
// and gives every token back, so that create_bnf_subtoken allocates the entry
// array once at its final size and fills it on the second reading. Names used
// before their rule is defined wait in the table's `references` until the end
// of the file. Every failure leaves error_position at the line where the
// parser stopped, closes the tokenizer and destroys the table.
#pragma once

#include "bnf/bnf_model.h"
#include "bnf/tokenizer.h"
#include "common/diagnosis.h"
#include "common/report.h"
#include "tables/stoken.h"

// Constructs may nest this deep (brackets, alternations, arrays); a deeper
// grammar fails to load instead of exhausting the stack.
inline constexpr sUInt kBNFMaxNesting = 256;

// Parses one grammar file; null on failure with error_position at the line
// where the parser stopped. Refuses to start while the tokenizer is open.
// `diagnosis`, when given, then says where and what is wrong.
sBNFTable* parse_bnf_file(sTokenizer& tz, sReporter& rep, const sTokenTable& tokens, const char16_t* path,
                          sFileDiagnosis* diagnosis = nullptr);

// The tokenizer and reporter of one grammar being parsed.
struct sBNFParse {
  sTokenizer& tz;
  sReporter& rep;
  const sTokenTable& tokens;  // a token rule must name a token definition
  sFileDiagnosis* diagnosis = nullptr;  // the first fault, when given
  const char16_t* path = nullptr;       // the file diagnoses name
};

// Counts the entries of a construct of `kind` that begins at the reading
// point; every token read is given back. False when the construct is
// malformed.
int count_bnf_subitems(sBNFParse& p, sUInt kind, sUInt* count);
// Builds a construct of `kind` (BNFT_TOKENDEF to BNFT_CON_CHOICE) from the
// reading point and appends it to `defs`. `name` (owned, may be null) becomes
// its text, and is freed when the construct fails.
sBNFTokenDef* create_bnf_subtoken(sBNFParse& p, sBNFTable* table, sUInt kind, char16_t* name);
// Reads "= value ." into *target: a number 1-255 (decimal, or hexadecimal
// after "0x") or a string of one character.
int parse_file_type_value(sBNFParse& p, sByte* target);
// Puts a pending reference to `name` (copied) at the front of `references`.
int add_bnf_reference(sBNFParse& p, sBNFTable* table, const char16_t* name, sUInt line, sBNFTokenDef** slot);
// Fills every pending reference, newest first; on the first name that no rule
// defines sets error_position to its line and fails. Frees them all.
int resolve_bnf_references(sBNFParse& p, sBNFTable* table);
