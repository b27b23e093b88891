#include "bnf/bnf_model.h"

#include <cstdlib>

#include "common/memory.h"
#include "common/report.h"
#include "common/strings.h"

namespace {

struct sPredefType {
  sUInt kind;
  const char16_t* name;
};

// The value types every grammar knows, in the order they stand in `defs`.
constexpr sPredefType kPredefTypes[] = {
    {BNFT_STRING, u"string"}, {BNFT_SINT, u"sint"},   {BNFT_UINT, u"uint"},   {BNFT_DWORD, u"dword"},
    {BNFT_BYTE, u"byte"},     {BNFT_FLOAT, u"float"}, {BNFT_TOKEN, u"token"},
};

void append_def(sBNFChain& chain, sBNFTokenDef* def) {
  if (chain.tail != nullptr) {
    chain.tail->next = def;
  } else {
    chain.head = def;
  }
  chain.tail = def;
}

void free_def(sBNFTokenDef* def) {
  if (def->subtokens != nullptr) {
    for (sUInt i = 0; i < def->subtoken_count; ++i) free_string(def->subtokens[i].label);
    std::free(def->subtokens);
  }
  free_string(def->text);
  std::free(def);
}

void free_chain(sBNFChain& chain) {
  sBNFTokenDef* def = chain.head;
  while (def != nullptr) {
    sBNFTokenDef* next = def->next;
    free_def(def);
    def = next;
  }
  chain.head = chain.tail = nullptr;
}

}  // namespace

sBNFTokenDef* create_bnf_def(sReporter& rep, sBNFTable* table, sUInt kind, sUInt count, sUInt chain) {
  auto* bnf_def = static_cast<sBNFTokenDef*>(vexlor_mem_alloc_fixed(sizeof(sBNFTokenDef)));
  if (!VX_CHECK(rep, kModuleBnfParse, 61, bnf_def != nullptr,
                "(bnf_def = (sBNFTokenDef *) vexlor_mem_alloc_fixed(sizeof (sBNFTokenDef))) != 0"))
    return nullptr;
  bnf_def->next = nullptr;
  bnf_def->type = kind;
  bnf_def->text = nullptr;
  bnf_def->subtokens = nullptr;
  bnf_def->subtoken_count = 0;
  bnf_def->index_ref = nullptr;
  bnf_def->line = 0;
  bnf_def->column = 0;
  if (count > 0) {
    if (count > 0x7FFFFFFFu / sizeof(sBNFSubtoken)) {
      bnf_def->subtokens = nullptr;
    } else {
      bnf_def->subtokens = static_cast<sBNFSubtoken*>(vexlor_mem_alloc_fixed(count * sizeof(sBNFSubtoken)));
    }
    if (!VX_CHECK(rep, kModuleBnfParse, 70, bnf_def->subtokens != nullptr, "bnf_def->subtokens != 0")) {
      std::free(bnf_def);
      return nullptr;
    }
    for (sUInt i = 0; i < count; ++i) bnf_def->subtokens[i] = sBNFSubtoken{nullptr, nullptr};
    bnf_def->subtoken_count = count;
  }
  append_def(chain == BNF_CHAIN_LITERALS ? table->literals : table->defs, bnf_def);
  return bnf_def;
}

int add_predef_bnf_tokens(sReporter& rep, sBNFTable* table) {
  for (const sPredefType& type : kPredefTypes) {
    sBNFTokenDef* def = create_bnf_def(rep, table, type.kind, 0, BNF_CHAIN_DEFS);
    if (def == nullptr) return 0;
    def->text = alloc_string(type.name, 0);
    if (def->text == nullptr) return 0;
  }
  return 1;
}

sBNFTokenDef* find_bnf_def(sReporter& rep, sBNFTable* table, const char16_t* name, sUInt chain) {
  const sBNFChain* list;
  if (chain == BNF_CHAIN_LITERALS) {
    list = &table->literals;
  } else if (chain == BNF_CHAIN_DEFS) {
    list = &table->defs;
  } else {
    report_at(rep, kModuleBnfParse, 112, u"Internal error [BNFParse %d]\n", 112);
    return nullptr;
  }
  if (name == nullptr) return nullptr;
  for (sBNFTokenDef* def = list->head; def != nullptr; def = def->next) {
    if (def->text != nullptr && wstr_equal_nocase(def->text, name)) return def;
  }
  return nullptr;
}

sBNFSubtoken* find_bnf_label(sBNFTable* table, const char16_t* label) {
  if (label == nullptr) return nullptr;
  for (sBNFTokenDef* def = table->defs.head; def != nullptr; def = def->next) {
    for (sUInt i = 0; i < def->subtoken_count; ++i) {
      sBNFSubtoken& entry = def->subtokens[i];
      if (entry.label != nullptr && wstr_equal(entry.label, label)) return &entry;
    }
  }
  return nullptr;
}

void free_bnf_references(sBNFTable* table) {
  sBNFReference* ref = table->references;
  while (ref != nullptr) {
    sBNFReference* next = ref->next;
    free_string(ref->name);
    std::free(ref);
    ref = next;
  }
  table->references = nullptr;
}

void destroy_bnf_table(sBNFTable* table) {
  if (table == nullptr) return;
  free_chain(table->literals);
  free_chain(table->defs);
  free_bnf_references(table);
  std::free(table);
}
