// Helpers shared by the shape tests: a token definition table set for the
// scope of a test, and small grammars built in memory.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "bnf/bnf_model.h"
#include "tables/stoken.h"

namespace shapetest {

// Installs the given names and ids as the token definition table until the
// end of the scope (searched entry by entry, as a table not loaded from files).
class TokenTable {
 public:
  TokenTable(std::initializer_list<std::pair<const char16_t*, sUInt>> entries) {
    for (const auto& [name, id] : entries) {
      names_.emplace_back(name);
      entries_.push_back({names_.back().data(), id});
    }
    entries_.push_back({nullptr, 0});
    saved_ = stoken_table;
    stoken_table = entries_.data();
  }
  ~TokenTable() { stoken_table = saved_; }
  TokenTable(const TokenTable&) = delete;
  TokenTable& operator=(const TokenTable&) = delete;

 private:
  std::deque<std::u16string> names_;
  std::vector<sShapeTokenDef> entries_;
  sShapeTokenDef* saved_ = nullptr;
};

// Grammar definitions that live as long as the builder. Entries of a
// definition are given at creation; `ref` makes an entry for a definition.
class Grammar {
 public:
  sBNFTokenDef* def(sUInt type, const char16_t* text = nullptr, std::vector<sBNFTokenDef*> items = {}) {
    auto& d = defs_.emplace_back();
    if (text != nullptr) texts_.emplace_back(text);
    d.type = type;
    d.text = text != nullptr ? texts_.back().data() : nullptr;
    auto& entries = entries_.emplace_back();
    for (sBNFTokenDef* item : items) entries.push_back({item, nullptr});
    d.subtokens = entries.empty() ? nullptr : entries.data();
    d.subtoken_count = static_cast<sUInt>(entries.size());
    return &d;
  }
  // Fills the entries of a definition made earlier (for recursive rules).
  void set_items(sBNFTokenDef* d, std::vector<sBNFTokenDef*> items) {
    auto& entries = entries_.emplace_back();
    for (sBNFTokenDef* item : items) entries.push_back({item, nullptr});
    d->subtokens = entries.empty() ? nullptr : entries.data();
    d->subtoken_count = static_cast<sUInt>(entries.size());
  }
  const sBNFSubtoken* entry(sBNFTokenDef* d) {
    sBNFSubtoken& e = single_.emplace_back();
    e.def = d;
    e.label = nullptr;
    return &e;
  }
  sBNFTable* table(sBNFTokenDef* root) {
    table_.root_token = root;
    return &table_;
  }

 private:
  std::deque<sBNFTokenDef> defs_;
  std::deque<std::u16string> texts_;
  std::deque<std::vector<sBNFSubtoken>> entries_;
  std::deque<sBNFSubtoken> single_;
  sBNFTable table_{};
};

}  // namespace shapetest
