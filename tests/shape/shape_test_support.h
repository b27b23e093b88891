// Helpers shared by the shape tests: a conversion over a token table built
// in memory, small grammars built in memory or parsed from grammar text, and
// token files written as the writers make them.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "bnf/bnf_model.h"
#include "bnf/bnf_parser.h"
#include "bnf/tokenizer.h"
#include "container/fioshare.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"
#include "support/test_support.h"
#include "tables/stoken.h"

namespace shapetest {

// A token definition table of the given names and ids (without indexes, so
// it is searched entry by entry, with the results of a loaded table).
class TokenTable {
 public:
  TokenTable(std::initializer_list<std::pair<const char16_t*, sUInt>> entries) {
    for (const auto& [name, id] : entries) {
      names_.emplace_back(name);
      entries_.push_back({names_.back().data(), id});
    }
    entries_.push_back({nullptr, 0});
    table_.entries = entries_.data();
  }
  TokenTable(const TokenTable&) = delete;
  TokenTable& operator=(const TokenTable&) = delete;
  const sTokenTable& table() const { return table_; }

 private:
  std::deque<std::u16string> names_;
  std::vector<sShapeTokenDef> entries_;
  sTokenTable table_;
};

// One conversion over its own token table, whose reports are captured.
struct Context {
  explicit Context(std::initializer_list<std::pair<const char16_t*, sUInt>> entries = {})
      : tokens(entries), conv(tokens.table()) {
    conv.rep = debug.rep();
  }
  TokenTable tokens;
  vxtest::DebugCapture debug;
  sConversion conv;
};

// Grammar definitions that live as long as the builder. Entries of a
// definition are given at creation; `entry` makes an entry for a definition.
class Grammar {
 public:
  sBNFTokenDef* def(sUInt type, const char16_t* text = nullptr, std::vector<sBNFTokenDef*> items = {}) {
    auto& d = defs_.emplace_back();
    if (text != nullptr) texts_.emplace_back(text);
    d.type = type;
    d.text = text != nullptr ? texts_.back().data() : nullptr;
    set_items(&d, std::move(items));
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

struct GrammarDeleter {
  void operator()(sBNFTable* table) const { destroy_bnf_table(table); }
};
using OwnedGrammar = std::unique_ptr<sBNFTable, GrammarDeleter>;

// Writes `rules` as the grammar file `path` (type "w", version "1") and
// parses it against the context's token table; null when it does not load.
inline OwnedGrammar load_grammar(Context& ctx, const std::string& path, const std::u16string& rules) {
  vxtest::write_file(path, vxtest::utf16le(u"FILE_TYPE = \"w\" .\nFILE_TYPE_VER = \"1\" .\n" + rules + u"\nEOF\n"));
  auto tz = std::make_unique<sTokenizer>();
  return OwnedGrammar(parse_bnf_file(*tz, ctx.conv.rep, ctx.tokens.table(), vxtest::u16(path).c_str()));
}

// A text token file as the text writer makes it: UTF-16 container header,
// the body header as 16 units, then `text`.
inline bool write_text_token_file(const std::u16string& path, const std::u16string& text,
                                  sUInt comp = FIO_COMP_NONE, const std::u16string& header = u"TORV0w1t@@@@@@@@") {
  sReporter quiet;
  sFioShareFile* stream = fioshare_file_open(quiet, path.c_str(), FIO_WRITE, comp, 1);
  if (stream == nullptr) return false;
  const std::string body = vxtest::utf16le(header + text);
  const bool written = fioshare_write(stream, body.data(), static_cast<sUInt>(body.size())) == body.size();
  return fioshare_file_close(stream) == 1 && written;
}

// The body of a token file as the container gives it back.
inline std::string container_body(const std::u16string& path) {
  sReporter quiet;
  sFioShareFile* in = fioshare_file_open(quiet, path.c_str(), FIO_READ, FIO_COMP_NONE, 0);
  if (in == nullptr) return "<cannot open>";
  std::string bytes(reinterpret_cast<const char*>(in->body), in->body_size);
  fioshare_file_close(in);
  return bytes;
}

inline std::u16string units_of(const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += char16_t(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  return units;
}

// Whether the conversion's tokenizer is open (a read must leave it closed).
inline bool tokenizer_busy(const sConversion& conv) {
  return conv.tokenizer != nullptr && tokenizer_is_open(*conv.tokenizer) != 0;
}

// The items of a sibling chain as the writers see them: every value of a
// run of numbers on its own, numbers with their text as the text form
// writes it, parents with an empty text.
struct FlatItem {
  sUInt type;
  sUInt value;
  std::u16string text;
  const sShapeItemNode* node;
};
inline std::vector<FlatItem> flat_items(const sShapeItemNode* node) {
  std::vector<FlatItem> items;
  auto number = [&](sUInt type, sUInt value) {
    char16_t text[kValueTextUnits];
    const sUInt length = shape_format_number(type, value, text);
    items.push_back({type, value, std::u16string(text, length), nullptr});
  };
  for (; node != nullptr; node = node->next) {
    if (node->type == SHN_RUN) {
      for (sUInt i = 0; i < shape_run_count(node); ++i) number(shape_run_type(node, i), shape_run_value(node, i));
    } else if (node->type >= SHN_SINT && node->type <= SHN_FLOAT) {
      number(node->type, node->value);
    } else {
      items.push_back({node->type, node->value, node->text != nullptr ? node->text : u"", node});
    }
  }
  return items;
}

}  // namespace shapetest
