// Arbitrary bytes as a grammar file (UTF-16 text, with or without a
// byte-order mark), parsed against the fixed token definitions.
//
// A grammar that loads must be whole: a root, both file type bytes, no
// pending reference, every entry filled up to the first one the "not fully
// populated" case leaves empty. Parsing must leave the tokenizer closed.
#include <cstdint>
#include <cstdlib>

#include "bnf/bnf_model.h"
#include "bnf/bnf_parser.h"
#include "bnf/tokenizer.h"
#include "fuzz_support.h"

namespace {

void check_table(const sBNFTable* table) {
  if (table->root_token == nullptr || table->file_type == 0 || table->file_type_ver == 0) std::abort();
  if (table->references != nullptr) std::abort();
  for (const sBNFTokenDef* def = table->defs.head; def != nullptr; def = def->next) {
    bool empty_seen = false;
    for (sUInt i = 0; i < def->subtoken_count; ++i) {
      if (def->subtokens[i].def == nullptr) {
        empty_seen = true;
      } else if (empty_seen) {
        std::abort();  // only a tail of entries may stay empty
      }
    }
    if (def->type == BNFT_CON_ARRAY && (def->subtoken_count == 0 || def->subtokens[0].def == nullptr)) std::abort();
  }
  for (const sBNFTokenDef* def = table->literals.head; def != nullptr; def = def->next) {
    if (def->type != BNFT_LITERAL || def->text == nullptr) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vxfuzz::fixture_grammars();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string path = vxfuzz::put_file("input.bnf", vxfuzz::bytes_of(data, size));
  sTokenizer& tz = vxfuzz::grammar_tokenizer();
  sBNFTable* table = parse_bnf_file(tz, vxfuzz::reporter(), vxfuzz::fixture_tokens(), path.c_str());
  if (tokenizer_is_open(tz)) std::abort();
  if (table != nullptr) {
    check_table(table);
    destroy_bnf_table(table);
  }
  return 0;
}
