#include "bnf/grammar_check.h"

#include <algorithm>
#include <map>
#include <set>

#include "common/strings.h"
#include "tables/stoken.h"

namespace {

// How the binary forms of a construct can begin: with one of these token
// ids, with a value, or (nullable) with nothing at all.
struct sBinaryStart {
  std::set<sUInt> ids;
  bool value = false;
  bool nullable = false;
};

class StartFinder {
 public:
  explicit StartFinder(const sTokenTable& tokens) : tokens_(tokens) {}

  sBinaryStart of(const sBNFTokenDef* def) {
    if (def == nullptr) return nullable();
    if (auto known = done_.find(def); known != done_.end()) return known->second;
    // A rule met again while its start is being found adds nothing new.
    if (!visiting_.insert(def).second) return {};
    sBinaryStart start = compute(def);
    visiting_.erase(def);
    done_[def] = start;
    return start;
  }

  sBinaryStart sequence(const sBNFSubtoken* items, sUInt count) {
    sBinaryStart start;
    for (sUInt i = 0; i < count; ++i) {
      if (items[i].def == nullptr) continue;
      const sBinaryStart item = of(items[i].def);
      start.ids.insert(item.ids.begin(), item.ids.end());
      start.value = start.value || item.value;
      if (!item.nullable) return start;
    }
    start.nullable = true;
    return start;
  }

 private:
  static sBinaryStart nullable() {
    sBinaryStart start;
    start.nullable = true;
    return start;
  }

  sBinaryStart compute(const sBNFTokenDef* def) {
    switch (def->type) {
      case BNFT_TOKENDEF:
      case BNFT_LITERAL: {
        const sShapeTokenDef* token = tokutil_find_stoken_by_name(tokens_, def->text);
        if (token == nullptr) return def->type == BNFT_LITERAL ? nullable() : sBinaryStart{};
        sBinaryStart start;
        start.ids.insert(token->id);
        return start;
      }
      case BNFT_RULEDEF:
      case BNFT_CON_GROUP: return sequence(def->subtokens, def->subtoken_count);
      case BNFT_CON_OPTIONAL:
      case BNFT_CON_REPEAT:
      case BNFT_CON_ARRAY: {
        sBinaryStart start = sequence(def->subtokens, def->subtoken_count);
        start.nullable = true;
        return start;
      }
      case BNFT_CON_CHOICE: {
        sBinaryStart start;
        for (sUInt i = 0; i < def->subtoken_count; ++i) {
          const sBinaryStart item = of(def->subtokens[i].def);
          start.ids.insert(item.ids.begin(), item.ids.end());
          start.value = start.value || item.value;
          start.nullable = start.nullable || item.nullable;
        }
        return start;
      }
      default: {
        sBinaryStart start;
        start.value = true;
        return start;
      }
    }
  }

  const sTokenTable& tokens_;
  std::map<const sBNFTokenDef*, sBinaryStart> done_;
  std::set<const sBNFTokenDef*> visiting_;
};

bool begin_alike(const sBinaryStart& first, const sBinaryStart& later) {
  if (first.value && later.value) return true;
  return std::any_of(first.ids.begin(), first.ids.end(), [&](sUInt id) { return later.ids.count(id) != 0; });
}

bool is_construct(const sBNFTokenDef* def) {
  return def != nullptr && def->text == nullptr && def->type >= BNFT_CON_ARRAY && def->type <= BNFT_CON_CHOICE;
}

class Checker {
 public:
  Checker(const sTokenTable& tokens, std::vector<sGrammarWarning>& out) : starts_(tokens), out_(out) {}

  // The constructs of `def`, which stands in the named rule `rule`.
  void check(const sBNFTokenDef* def, const sBNFTokenDef* rule) {
    if (def->type == BNFT_CON_CHOICE) {
      check_choice(def, rule);
    } else {
      check_sequence(def, rule);
    }
    for (sUInt i = 0; i < def->subtoken_count; ++i) {
      if (is_construct(def->subtokens[i].def)) check(def->subtokens[i].def, rule);
    }
  }

 private:
  void check_choice(const sBNFTokenDef* def, const sBNFTokenDef* rule) {
    for (sUInt i = 0; i < def->subtoken_count; ++i) {
      const sBinaryStart first = starts_.of(def->subtokens[i].def);
      for (sUInt j = i + 1; j < def->subtoken_count; ++j) {
        if (def->subtokens[j].def == nullptr) continue;
        if (first.nullable || begin_alike(first, starts_.of(def->subtokens[j].def))) {
          warn(rule, u"alternatives " + decimal_text(i + 1) + u" and " + decimal_text(j + 1) +
                         u" begin the same way in a binary file: the binary reader always takes alternative " +
                         decimal_text(i + 1));
          return;
        }
      }
    }
  }

  void check_sequence(const sBNFTokenDef* def, const sBNFTokenDef* rule) {
    for (sUInt i = 0; i + 1 < def->subtoken_count; ++i) {
      const sBNFTokenDef* item = def->subtokens[i].def;
      if (item == nullptr || (item->type != BNFT_CON_OPTIONAL && item->type != BNFT_CON_REPEAT)) continue;
      const sBinaryStart part = starts_.sequence(item->subtokens, item->subtoken_count);
      const sBinaryStart rest = starts_.sequence(def->subtokens + i + 1, def->subtoken_count - i - 1);
      if (begin_alike(part, rest)) {
        warn(rule, std::u16string(item->type == BNFT_CON_OPTIONAL ? u"an optional part" : u"a repeated part") +
                       u" and what follows it begin the same way in a binary file: the binary reader always "
                       u"takes the part");
        return;
      }
    }
  }

  void warn(const sBNFTokenDef* rule, std::u16string what) {
    out_.push_back(sGrammarWarning{rule, u"in rule '" + std::u16string(rule->text) + u"', " + what});
  }

  StartFinder starts_;
  std::vector<sGrammarWarning>& out_;
};

}  // namespace

std::vector<sGrammarWarning> find_binary_ambiguities(const sBNFTable& table, const sTokenTable& tokens) {
  std::vector<sGrammarWarning> warnings;
  Checker checker(tokens, warnings);
  for (const sBNFTokenDef* def = table.defs.head; def != nullptr; def = def->next) {
    const bool named_rule = (def->type == BNFT_RULEDEF || def->type == BNFT_TOKENDEF) && def->text != nullptr;
    if (named_rule) checker.check(def, def);
  }
  return warnings;
}
