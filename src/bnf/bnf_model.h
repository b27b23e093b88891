// The grammar model: one sBNFTable per loaded grammar file, a graph of
// sBNFTokenDef records rooted in the rule named FILE.
//
// The table owns every definition of both chains; a definition owns its text
// and entry array; an entry owns its label. Entries refer to definitions
// without owning them, and the graph may have cycles (recursive rules).
#pragma once

#include "common/types.h"

struct sReporter;

enum sBNFKind : sUInt {
  BNFT_TOKENDEF = 0,
  BNFT_RULEDEF = 1,
  BNFT_CON_ARRAY = 2,
  BNFT_CON_OPTIONAL = 3,
  BNFT_CON_REPEAT = 4,
  BNFT_CON_GROUP = 5,
  BNFT_CON_CHOICE = 6,
  BNFT_LITERAL = 7,
  BNFT_STRING = 8,
  BNFT_SINT = 9,
  BNFT_UINT = 10,
  BNFT_DWORD = 11,
  BNFT_BYTE = 12,
  BNFT_FLOAT = 13,
  BNFT_TOKEN = 14,
};

inline bool bnf_is_terminal(sUInt kind) { return kind >= BNFT_LITERAL && kind <= BNFT_TOKEN; }

struct sBNFTokenDef;

// A subtoken entry: an item of a rule or construct.
struct sBNFSubtoken {
  sBNFTokenDef* def;  // not owned
  char16_t* label;    // owned, or null
};

struct sBNFTokenDef {
  sBNFTokenDef* next;
  sUInt type;
  char16_t* text;
  sBNFSubtoken* subtokens;
  sUInt subtoken_count;
  sBNFSubtoken* index_ref;
  // Rules: where the name stands in the grammar file (0: unknown).
  sUInt line;
  sUInt column;
};

struct sBNFChain {
  sBNFTokenDef* head;
  sBNFTokenDef* tail;
};

struct sBNFReference {
  sBNFReference* next;
  char16_t* name;
  sUInt line;
  sUInt column;
  sBNFTokenDef** slot;
};

inline constexpr sUInt kBNFNameUnits = 64;

struct sBNFTable {
  sBNFChain literals;
  sBNFChain defs;
  sBNFTokenDef* root_token;
  sBNFReference* references;
  char16_t name[kBNFNameUnits];
  sByte file_type;
  sByte file_type_ver;
};

// Which chain find_bnf_def searches.
enum sBNFChainId : sUInt {
  BNF_CHAIN_LITERALS = 0,
  BNF_CHAIN_DEFS = 1,
};

// Appends a new definition of `kind` with `count` empty entries to the chosen
// chain; null (reported) when memory runs out.
sBNFTokenDef* create_bnf_def(sReporter& rep, sBNFTable* table, sUInt kind, sUInt count, sUInt chain);
// Appends the seven predefined value types to `defs`.
int add_predef_bnf_tokens(sReporter& rep, sBNFTable* table);
sBNFTokenDef* find_bnf_def(sReporter& rep, sBNFTable* table, const char16_t* name, sUInt chain);
sBNFSubtoken* find_bnf_label(sBNFTable* table, const char16_t* label);
// Frees the pending references of a table being parsed.
void free_bnf_references(sBNFTable* table);
// Frees every definition, pending reference and the table; null is ignored.
void destroy_bnf_table(sBNFTable* table);
