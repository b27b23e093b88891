// Grammars, token tables, binary bodies and trees built by hand for the
// reader and writer tests, so that each test states its input in full.
#pragma once

#include <cstdio>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "bnf/bnf_model.h"
#include "common/types.h"
#include "shape/shape_tree.h"
#include "tables/stoken.h"

namespace vxtest {

// Definitions and entries with stable addresses; nothing is owned by the
// table record, which only names the root.
class HandGrammar {
 public:
  HandGrammar() { std::memset(&table, 0, sizeof table); }
  HandGrammar(const HandGrammar&) = delete;
  HandGrammar& operator=(const HandGrammar&) = delete;

  sBNFTokenDef* def(sUInt type, const std::u16string& text = u"", std::vector<sBNFTokenDef*> subs = {}) {
    sBNFTokenDef& d = defs_.emplace_back();
    std::memset(&d, 0, sizeof d);
    d.type = type;
    if (!text.empty()) d.text = texts_.emplace_back(text).data();
    set_subs(&d, std::move(subs));
    return &d;
  }
  sBNFTokenDef* literal(const std::u16string& text) { return def(BNFT_LITERAL, text); }
  sBNFTokenDef* value(sUInt kind) { return def(kind); }
  sBNFTokenDef* block(const std::u16string& name, std::vector<sBNFTokenDef*> subs = {}) {
    return def(BNFT_TOKENDEF, name, std::move(subs));
  }
  // Sets (or replaces) the items of a rule; used to close recursive rules.
  void set_subs(sBNFTokenDef* d, std::vector<sBNFTokenDef*> subs) {
    auto& items = subs_.emplace_back();
    for (sBNFTokenDef* s : subs) items.push_back(sBNFSubtoken{s, nullptr});
    d->subtokens = items.empty() ? nullptr : items.data();
    d->subtoken_count = static_cast<sUInt>(items.size());
  }
  const sBNFSubtoken* entry(sBNFTokenDef* d) {
    entries_.push_back(sBNFSubtoken{d, nullptr});
    return &entries_.back();
  }

  sBNFTable table;

 private:
  std::deque<sBNFTokenDef> defs_;
  std::deque<std::u16string> texts_;
  std::deque<std::vector<sBNFSubtoken>> subs_;
  std::deque<sBNFSubtoken> entries_;
};

// Installs a token definition table for the lifetime of the object.
class HandTokens {
 public:
  HandTokens(std::initializer_list<std::pair<std::u16string, sUInt>> tokens) {
    for (const auto& t : tokens) names_.push_back(t.first);
    for (size_t i = 0; i < names_.size(); ++i) entries_.push_back(sShapeTokenDef{names_[i].data(), tokens.begin()[i].second});
    entries_.push_back(sShapeTokenDef{nullptr, 0});
    saved_ = stoken_table;
    stoken_table = entries_.data();
  }
  ~HandTokens() { stoken_table = saved_; }

 private:
  std::deque<std::u16string> names_;
  std::vector<sShapeTokenDef> entries_;
  sShapeTokenDef* saved_;
};

// Little-endian bytes of a binary body.
struct Bytes {
  std::vector<sByte> v;
  Bytes& u8(sUInt x) {
    v.push_back(sByte(x));
    return *this;
  }
  Bytes& u16(sUInt x) { return u8(x).u8(x >> 8); }
  Bytes& u32(sUInt x) { return u16(x).u16(x >> 16); }
  Bytes& f32(float f) {
    sUInt bits;
    std::memcpy(&bits, &f, 4);
    return u32(bits);
  }
  Bytes& str(const std::u16string& s) {
    u16(sUInt(s.size()));
    for (char16_t c : s) u16(c);
    return *this;
  }
  Bytes& add(const Bytes& other) {
    v.insert(v.end(), other.v.begin(), other.v.end());
    return *this;
  }
  // A block as the binary writer lays it out: id, size, name, content.
  static Bytes block(sUInt id, const Bytes& content, const std::u16string& name = u"") {
    Bytes b;
    b.u32(id).u32(sUInt(1 + 2 * name.size() + content.v.size())).u8(sUInt(name.size()));
    for (char16_t c : name) b.u16(c);
    return b.add(content);
  }
};

inline std::string narrow_text(const char16_t* text) {
  std::string s;
  for (const char16_t* p = text; p != nullptr && *p != 0; ++p) s += char(*p);
  return s;
}

// A compact picture of a node chain: parents in braces, literals bare,
// strings quoted, numbers by a type letter and their value.
inline std::string describe(const sShapeItemNode* node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    if (!out.empty()) out += ' ';
    char buf[64];
    switch (node->type) {
      case SHN_PARENT:
        out += '{';
        out += describe(node->child);
        out += '}';
        continue;
      case SHN_LITERAL: out += narrow_text(node->text); continue;
      case SHN_STRING:
        out += '\'';
        out += narrow_text(node->text);
        out += '\'';
        continue;
      case SHN_SINT: std::snprintf(buf, sizeof buf, "i%d", sInt(node->value)); break;
      case SHN_UINT: std::snprintf(buf, sizeof buf, "u%u", node->value); break;
      case SHN_DWORD: std::snprintf(buf, sizeof buf, "x%x", node->value); break;
      case SHN_BYTE: std::snprintf(buf, sizeof buf, "b%x", node->value); break;
      case SHN_FLOAT: {
        float f;
        std::memcpy(&f, &node->value, 4);
        std::snprintf(buf, sizeof buf, "f%g", double(f));
        break;
      }
      case SHN_TOKEN: std::snprintf(buf, sizeof buf, "t%x", node->value); break;
      default: std::snprintf(buf, sizeof buf, "?%u", node->type); break;
    }
    out += buf;
  }
  return out;
}

}  // namespace vxtest
