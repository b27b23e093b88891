#include "bnf/bnf_parser.h"

#include <cstdlib>
#include <cstring>

#include "bnf/tokenizer.h"
#include "common/diagnosis.h"
#include "common/memory.h"
#include "common/number_scan.h"
#include "common/report.h"
#include "common/strings.h"
#include "tables/stoken.h"

namespace {

// The parts of a token that the parser keeps while it looks at the next one.
// The text lives inline when short, so nesting costs little stack.
class sTokenCopy {
 public:
  sTokenCopy() = default;
  sTokenCopy(const sTokenCopy&) = delete;
  sTokenCopy& operator=(const sTokenCopy&) = delete;
  ~sTokenCopy() { release(); }

  // Copies the current token; false (reported) when memory runs out.
  bool take(sBNFParse& p) {
    release();
    length = p.tz.token.length;
    type = p.tz.token.type;
    line = p.tz.token.line;
    start = p.tz.token.start;
    if (length >= kInlineUnits) {
      text = static_cast<char16_t*>(vexlor_mem_alloc_fixed((length + 1) * sizeof(char16_t)));
      if (text == nullptr) {
        text = inline_text;
        text[0] = 0;
        length = 0;
        report_failed_check(p.rep, kModuleBnfParse, 205, u"(token_copy = alloc_string (token.tokenbuf, token.length)) != 0");
        return false;
      }
    }
    std::memcpy(text, p.tz.token.tokenbuf, length * sizeof(char16_t));
    text[length] = 0;
    return true;
  }

  bool is(const char16_t* s) const { return wstr_equal(text, s); }

  char16_t* text = inline_text;
  sUInt length = 0;
  sUInt type = ST_DONTCARE;
  sUInt line = 0;
  sUInt start = 0;

 private:
  static constexpr sUInt kInlineUnits = 48;
  void release() {
    if (text != inline_text) std::free(text);
    text = inline_text;
    inline_text[0] = 0;
  }
  char16_t inline_text[kInlineUnits];
};

// Describes the fault at the token that began at byte `start` on `line`
// (the first fault only); returns false.
bool fail_at(sBNFParse& p, sUInt line, sUInt start, std::u16string what) {
  if (p.path != nullptr) diagnose(p.diagnosis, p.path, line, tokenizer_column(p.tz, start), std::move(what));
  return false;
}
bool fail_at(sBNFParse& p, const sTokenCopy& item, std::u16string what) {
  return fail_at(p, item.line, item.start, std::move(what));
}
// At the current token.
bool fail_here(sBNFParse& p, std::u16string what) {
  return fail_at(p, p.tz.token.line, p.tz.token.start, std::move(what));
}
// The current token as a diagnosis names it.
std::u16string found(const sBNFParse& p) {
  if (p.tz.token.status != kTokenPresent) return u"end of file";
  const std::u16string_view text(p.tz.token.tokenbuf, p.tz.token.length);
  if (p.tz.token.type != ST_STRING) return quoted(text);
  // A string in its double quotes, cut as a word is.
  std::u16string in_quotes = quoted(text);
  in_quotes.front() = u'"';
  in_quotes.back() = u'"';
  return in_quotes;
}
bool out_of_memory(sBNFParse& p) { return fail_here(p, kOutOfMemory); }

bool current_is(sBNFParse& p, const char16_t* s) { return p.tz.token.status == kTokenPresent && wstr_equal(p.tz.token.tokenbuf, s); }

bool is_bracketed(sUInt kind) {
  return kind == BNFT_CON_ARRAY || kind == BNFT_CON_OPTIONAL || kind == BNFT_CON_REPEAT || kind == BNFT_CON_GROUP;
}

// Skips to the close that pairs with the open `open` just consumed; bracket
// shapes are not compared. False when the input ends first.
bool skip_group(sBNFParse& p, sUInt open_line, sUInt open_start, char16_t open) {
  sUInt depth = 1;
  while (depth > 0) {
    if (!get_next_token(p.tz, ST_DONTCARE)) break;
    if (p.tz.token.type == ST_OPEN) {
      ++depth;
    } else if (p.tz.token.type == ST_CLOSE) {
      --depth;
    }
  }
  if (depth == 0) return true;
  return fail_at(p, open_line, open_start, std::u16string(u"'") + open + u"' is never closed");
}

// Entries a token stands for: a separate label word and the keywords of
// arrays and indexes make none (the bracket after them makes the entry).
sUInt item_weight(const sTokenCopy& item) {
  if (item.text[0] == u',') return 0;
  if (item.text[0] == u':' && (wstr_equal(item.text + 1, u"ARRAY") || wstr_equal(item.text + 1, u"INDEX"))) return 0;
  return 1;
}

bool count_pass(sBNFParse& p, sUInt kind, sUInt* count) {
  sUInt n = 0;
  if (is_bracketed(kind) && !get_next_token(p.tz, ST_OPEN)) return false;
  if (get_next_token(p.tz, ST_DONTCARE)) {
    sTokenCopy item;
    for (;;) {
      if (!item.take(p)) return out_of_memory(p);
      p.tz.error_position = item.line;
      if (!preview_next_token(p.tz, ST_DONTCARE)) {
        // The input ends after this token: the count reached so far stands.
        if (p.tz.token.status == kTokenEndOfInput) break;
        return out_of_memory(p);
      }
      if (item.is(u".")) break;
      if (current_is(p, u"==>")) break;
      if (kind == BNFT_CON_CHOICE && p.tz.token.type != ST_BAR) return fail_here(p, u"expected '|', found " + found(p));
      if (item.type == ST_CLOSE) break;
      if (item.type == ST_OPEN) {
        if (!skip_group(p, item.line, item.start, item.text[0])) return false;
      } else if (p.tz.token.type == ST_BAR) {
        get_next_token(p.tz, ST_DONTCARE);
        for (;;) {
          if (!get_next_token(p.tz, ST_DONTCARE)) break;
          if (p.tz.token.type == ST_OPEN &&
              !skip_group(p, p.tz.token.line, p.tz.token.start, p.tz.token.tokenbuf[0])) {
            return false;
          }
          if (kind == BNFT_CON_CHOICE) ++n;
          if (!preview_next_token(p.tz, ST_DONTCARE)) return fail_here(p, u"expected '.', found " + found(p));
          if (p.tz.token.type != ST_BAR) break;
          get_next_token(p.tz, ST_DONTCARE);
        }
      }
      n += item_weight(item);
      if (kind == BNFT_CON_CHOICE) break;
      if (!get_next_token(p.tz, ST_DONTCARE)) break;
    }
  }
  *count = n;
  return true;
}

// An optional separate word ",label" after an array or index.
bool read_label_word(sBNFParse& p, sBNFSubtoken& entry) {
  if (!preview_next_token(p.tz, ST_DONTCARE)) {
    report_failed_check(p.rep, kModuleBnfParse, 460, u"preview_next_token (ST_DONTCARE)");
    return fail_here(p, u"expected '.', found " + found(p));
  }
  if (p.tz.token.tokenbuf[0] != u',') return true;
  if (!is_valid_identifier(p.tz.token.tokenbuf + 1)) return fail_here(p, found(p) + u" is no label name");
  const char16_t* name_str = p.tz.token.tokenbuf + 1;
  char16_t* name_str_cpy = alloc_string(name_str, 0);
  if (!VX_CHECK(p.rep, kModuleBnfParse, 462, name_str_cpy != nullptr, "(name_str_cpy = alloc_string (name_str, 0u)) != 0"))
    return out_of_memory(p);
  entry.label = name_str_cpy;
  if (!VX_CHECK(p.rep, kModuleBnfParse, 465, get_next_token(p.tz, ST_DONTCARE), "get_next_token (ST_DONTCARE)")) {
    return out_of_memory(p);
  }
  if (!preview_next_token(p.tz, ST_DONTCARE)) {
    report_failed_check(p.rep, kModuleBnfParse, 467, u"preview_next_token (ST_DONTCARE)");
    return fail_here(p, u"expected '.', found " + found(p));
  }
  return true;
}

sBNFTokenDef* create_at(sBNFParse& p, sBNFTable* table, sUInt kind, char16_t* name, sUInt depth);

// Fills one entry from the item `item` (P, the token after it, is pending).
bool fill_entry(sBNFParse& p, sBNFTable* table, sUInt kind, sBNFSubtoken& entry, sTokenCopy& item, sUInt depth) {
  bool next_is_bar = p.tz.token.status == kTokenPresent && p.tz.token.type == ST_BAR;
  if (item.type == ST_OPEN || (kind != BNFT_CON_CHOICE && next_is_bar)) {
    // A bar right after an open bracket would start the same alternation
    // again at the same place, without end.
    if (item.type == ST_OPEN && next_is_bar) {
      report_at(p.rep, kModuleBnfParse, 376, u"Vertical bar after an open bracket [BNFParse %d]\n", 376);
      return fail_here(p, u"'|' right after an opening bracket");
    }
    if (depth >= kBNFMaxNesting) {
      report_at(p.rep, kModuleBnfParse, 378, u"Constructs nested too deeply [BNFParse %d]\n", 378);
      return fail_at(p, item, u"brackets and alternatives nested more than 256 deep");
    }
    pop_token_state(p.tz);
    push_token_state(p.tz);
    sUInt nested_kind = BNFT_CON_CHOICE;
    if (item.type == ST_OPEN) {
      nested_kind = item.text[0] == u'(' ? BNFT_CON_GROUP : item.text[0] == u'[' ? BNFT_CON_OPTIONAL : BNFT_CON_REPEAT;
    }
    sBNFTokenDef* nested = create_at(p, table, nested_kind, nullptr, depth + 1);
    if (nested == nullptr) {
      report_at(p.rep, kModuleBnfParse, 372, u"create_bnf_subtoken failed() [BNFParse %d]\n", 372);
      return false;
    }
    entry.def = nested;
    return true;
  }
  if (item.is(u":ARRAY")) {
    if (depth >= kBNFMaxNesting) {
      report_at(p.rep, kModuleBnfParse, 380, u"Constructs nested too deeply [BNFParse %d]\n", 380);
      return fail_at(p, item, u"brackets and alternatives nested more than 256 deep");
    }
    sBNFTokenDef* array = create_at(p, table, BNFT_CON_ARRAY, nullptr, depth + 1);
    if (array == nullptr) {
      report_at(p.rep, kModuleBnfParse, 385, u"create_bnf_subtoken() failed [BNFParse %d]\n", 385);
      return false;
    }
    if (array->subtoken_count == 0) return fail_at(p, item, u":ARRAY holds nothing");
    if (!read_label_word(p, entry)) return false;
    entry.def = array;
    return true;
  }
  if (item.is(u":INDEX")) {
    if (!get_next_token(p.tz, ST_OPEN) || !current_is(p, u"(")) {
      return fail_here(p, u"expected '(' after :INDEX, found " + found(p));
    }
    if (!get_next_token(p.tz, ST_WORD)) return fail_here(p, u"expected a label name, found " + found(p));
    sBNFSubtoken* target = find_bnf_label(table, p.tz.token.tokenbuf);
    if (target == nullptr) return fail_here(p, u"label " + found(p) + u" is used before it is defined");
    if (!get_next_token(p.tz, ST_CLOSE) || !current_is(p, u")")) {
      return fail_here(p, u"expected ')' after the label, found " + found(p));
    }
    if (!read_label_word(p, entry)) return false;
    sBNFTokenDef* bnf_subtoken = create_bnf_def(p.rep, table, BNFT_SINT, 0, BNF_CHAIN_DEFS);
    if (!VX_CHECK(p.rep, kModuleBnfParse, 405, bnf_subtoken != nullptr, "bnf_subtoken != 0")) return out_of_memory(p);
    bnf_subtoken->index_ref = target;
    entry.def = bnf_subtoken;
    return true;
  }
  if (item.text[0] == u':') {
    char16_t* name = item.text + 1;
    const char16_t* name_str = nullptr;
    for (char16_t* c = name; *c != 0; ++c) {
      if (*c == u',') {
        *c = 0;
        name_str = c + 1;
        break;
      }
    }
    if (name_str != nullptr && !is_valid_identifier(name_str)) {
      return fail_at(p, item, quoted(name_str) + u" is no label name");
    }
    sBNFTokenDef* found = find_bnf_def(p.rep, table, name, BNF_CHAIN_DEFS);
    if (found != nullptr) {
      entry.def = found;
    } else if (!add_bnf_reference(p, table, name, item.line, &entry.def)) {
      return out_of_memory(p);
    } else {
      table->references->column = tokenizer_column(p.tz, item.start);
    }
    if (name_str != nullptr) {
      char16_t* name_str_cpy = alloc_string(name_str, 0);
      if (!VX_CHECK(p.rep, kModuleBnfParse, 420, name_str_cpy != nullptr,
                    "(name_str_cpy = alloc_string (name_str, 0u)) != 0"))
        return out_of_memory(p);
      entry.label = name_str_cpy;
    }
    return true;
  }
  sBNFTokenDef* bnf_subtoken = find_bnf_def(p.rep, table, item.text, BNF_CHAIN_LITERALS);
  if (bnf_subtoken == nullptr) {
    bnf_subtoken = create_bnf_def(p.rep, table, BNFT_LITERAL, 0, BNF_CHAIN_LITERALS);
    if (!VX_CHECK(p.rep, kModuleBnfParse, 440, bnf_subtoken != nullptr, "bnf_subtoken != 0")) return out_of_memory(p);
    bnf_subtoken->text = alloc_string(item.text, item.length);
    if (!VX_CHECK(p.rep, kModuleBnfParse, 445, bnf_subtoken->text != nullptr,
                  "(bnf_subtoken->text = alloc_string (token.tokenbuf, 0u)) != 0"))
      return out_of_memory(p);
  }
  entry.def = bnf_subtoken;
  return true;
}

// Reads the items of `def` up to its end; the caller holds the saved point
// just before the next p.tz.token.
bool fill_entries(sBNFParse& p, sBNFTable* table, sBNFTokenDef* def, sUInt kind, sUInt depth) {
  const sUInt n = def->subtoken_count;
  sUInt bnf_token_num = 0;
  sTokenCopy item;
  bool more = get_next_token(p.tz, ST_DONTCARE);
  while (more) {
    if (!item.take(p)) return out_of_memory(p);
    if (item.type == ST_BAR) {
      drop_token_state(p.tz);
      push_token_state(p.tz);
      more = get_next_token(p.tz, ST_DONTCARE);
      continue;
    }
    if (item.is(u".")) break;
    if (!preview_next_token(p.tz, ST_DONTCARE)) {
      report_failed_check(p.rep, kModuleBnfParse, 345, u"preview_next_token (ST_DONTCARE)");
      return fail_here(p, u"expected '.', found " + found(p));
    }
    if (current_is(p, u"==>")) {
      return fail_at(p, item, u"missing full stop before the rule " + quoted(item.text));
    }
    p.tz.error_position = item.line;
    if (item.type == ST_CLOSE) {
      if (is_bracketed(kind)) break;
      return fail_at(p, item, quoted(item.text) + u" closes no bracket");
    }
    if (bnf_token_num >= n) {
      report_at(p.rep, kModuleBnfParse, 355, u"bnf_token_num overflow [BNFParse %d]\n", 355);
      return fail_at(p, item, u"the rule reads differently the second time");
    }
    if (!fill_entry(p, table, kind, def->subtokens[bnf_token_num], item, depth)) return false;
    ++bnf_token_num;
    drop_token_state(p.tz);
    push_token_state(p.tz);
    if (kind == BNFT_CON_CHOICE && !(p.tz.token.status == kTokenPresent && p.tz.token.type == ST_BAR)) break;
    more = get_next_token(p.tz, ST_DONTCARE);
  }
  if (bnf_token_num < n) {
    report_at(p.rep, kModuleBnfParse, 490, u"subitem ptr array not fully populated [BNFParse %d]\n", 490);
    def->subtokens[bnf_token_num].def = nullptr;
  }
  return true;
}

sBNFTokenDef* create_at(sBNFParse& p, sBNFTable* table, sUInt kind, char16_t* name, sUInt depth) {
  sUInt count = 0;
  if (!count_bnf_subitems(p, kind, &count)) {
    free_string(name);
    return nullptr;
  }
  push_token_state(p.tz);
  if (is_bracketed(kind)) {
    if (!get_next_token(p.tz, ST_OPEN)) {
      report_at(p.rep, kModuleBnfParse, 330, u"Expected an open bracket! [BNFParse %d]\n", 330);
      fail_here(p, u"expected an opening bracket, found " + found(p));
      free_string(name);
      drop_token_state(p.tz);
      return nullptr;
    }
    drop_token_state(p.tz);
    push_token_state(p.tz);
  }
  sBNFTokenDef* bnf_def = create_bnf_def(p.rep, table, kind, count, BNF_CHAIN_DEFS);
  if (!VX_CHECK(p.rep, kModuleBnfParse, 335, bnf_def != nullptr, "bnf_def != 0")) {
    out_of_memory(p);
    free_string(name);
    drop_token_state(p.tz);
    return nullptr;
  }
  bnf_def->text = name;
  bool ok = fill_entries(p, table, bnf_def, kind, depth);
  drop_token_state(p.tz);
  return ok ? bnf_def : nullptr;
}

// The value of a number token as "%x" or "%u" would scan it; false when no
// digits lead the text. Values that do not fit 32 bits saturate.
bool scan_number(const char16_t* text, sUInt* value) {
  bool hex = text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
  const char16_t* p = text;
  bool negative = false;
  if (hex) {
    p += 2;
  } else if (*p == u'+' || *p == u'-') {
    negative = *p == u'-';
    ++p;
  }
  const sDigitRun run = scan_digits(p, p + wstr_len(p), hex ? 16 : 10);
  // "0x" without hex digits scans as the 0 before the x.
  if (run.end == p && !hex) return false;
  const sUInt v = run.overflow || run.value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<sUInt>(run.value);
  *value = negative ? 0u - v : v;
  return true;
}

}  // namespace

int count_bnf_subitems(sBNFParse& p, sUInt kind, sUInt* count) {
  push_token_state(p.tz);
  bool ok = count_pass(p, kind, count);
  pop_token_state(p.tz);
  return ok ? 1 : 0;
}

sBNFTokenDef* create_bnf_subtoken(sBNFParse& p, sBNFTable* table, sUInt kind, char16_t* name) {
  return create_at(p, table, kind, name, 0);
}

int parse_file_type_value(sBNFParse& p, sByte* target) {
  if (!get_next_token_text(p.tz, u"=")) return fail_here(p, u"expected '=', found " + found(p));
  const std::u16string kValueWanted = u"expected a number from 1 to 255 or a string of one character, found ";
  if (!get_next_token(p.tz, ST_DONTCARE)) return fail_here(p, kValueWanted + found(p));
  sUInt value = 0;
  if (p.tz.token.type == ST_NUMBER) {
    if (!scan_number(p.tz.token.tokenbuf, &value) || value < 1 || value > 255) {
      return fail_here(p, kValueWanted + found(p));
    }
  } else if (p.tz.token.type == ST_STRING) {
    if (p.tz.token.length != 1) return fail_here(p, kValueWanted + found(p));
    value = p.tz.token.tokenbuf[0] & 0xFFu;
  } else {
    return fail_here(p, kValueWanted + found(p));
  }
  *target = static_cast<sByte>(value);
  if (get_next_token_text(p.tz, u".")) return 1;
  return fail_here(p, u"expected '.', found " + found(p));
}

int add_bnf_reference(sBNFParse& p, sBNFTable* table, const char16_t* name, sUInt line, sBNFTokenDef** slot) {
  auto* ref = static_cast<sBNFReference*>(vexlor_mem_alloc_fixed(sizeof(sBNFReference)));
  if (!VX_CHECK(p.rep, kModuleBnfParse, 520, ref != nullptr,
                "(ref = (sBNFReference *) vexlor_mem_alloc_fixed(sizeof (sBNFReference))) != 0"))
    return 0;
  ref->name = alloc_string(name, 0);
  if (!VX_CHECK(p.rep, kModuleBnfParse, 522, ref->name != nullptr, "(ref->name = alloc_string (name, 0u)) != 0")) {
    std::free(ref);
    return 0;
  }
  ref->line = line;
  ref->column = 0;
  ref->slot = slot;
  ref->next = table->references;
  table->references = ref;
  return 1;
}

int resolve_bnf_references(sBNFParse& p, sBNFTable* table) {
  for (sBNFReference* ref = table->references; ref != nullptr; ref = ref->next) {
    sBNFTokenDef* def = find_bnf_def(p.rep, table, ref->name, BNF_CHAIN_DEFS);
    if (def == nullptr) {
      p.tz.error_position = ref->line;
      if (p.path != nullptr) {
        diagnose(p.diagnosis, p.path, ref->line, ref->column, u"rule " + quoted(ref->name) + u" is not defined");
      }
      free_bnf_references(table);
      return 0;
    }
    *ref->slot = def;
  }
  free_bnf_references(table);
  return 1;
}

namespace {

// Reads the statements; false when the file fails.
bool parse_statements(sBNFParse& p, sBNFTable* bnft) {
  sTokenCopy item;
  bool more = get_next_token(p.tz, ST_DONTCARE);
  while (more) {
    if (!item.take(p)) return out_of_memory(p);
    p.tz.error_position = item.line;
    if (item.is(u"EOF")) break;
    if (item.is(u"FILE_TYPE")) {
      if (!parse_file_type_value(p, &bnft->file_type)) return false;
    } else if (item.is(u"FILE_TYPE_VER")) {
      if (!parse_file_type_value(p, &bnft->file_type_ver)) return false;
    } else {
      const std::u16string wanted = u"expected '=' or '==>' after " + quoted(item.text) + u", found ";
      if (!preview_next_token(p.tz, ST_DONTCARE)) return fail_here(p, wanted + found(p));
      bool token_rule = current_is(p, u"==>");
      if (!token_rule && !current_is(p, u"=")) {
        report_at(p.rep, kModuleBnfParse, 240, u"Missing %s [BNFParse %d]\n", u"==>", 240);
        return fail_here(p, wanted + found(p));
      }
      if (find_bnf_def(p.rep, bnft, item.text, BNF_CHAIN_DEFS) != nullptr) {
        return fail_at(p, item, u"rule " + quoted(item.text) + u" is defined twice");
      }
      if (token_rule && tokutil_find_stoken_by_name(p.tokens, item.text) == nullptr) {
        return fail_at(p, item, u"unknown token name " + quoted(item.text));
      }
      get_next_token(p.tz, ST_DONTCARE);
      char16_t* text_tmp = alloc_string(item.text, item.length);
      if (!VX_CHECK(p.rep, kModuleBnfParse, 252, text_tmp != nullptr, "(text_tmp = alloc_string (token.tokenbuf, 0u)) != 0"))
        return out_of_memory(p);
      sBNFTokenDef* rule = create_bnf_subtoken(p, bnft, token_rule ? BNFT_TOKENDEF : BNFT_RULEDEF, text_tmp);
      if (rule == nullptr) {
        report_at(p.rep, kModuleBnfParse, 258, u"create_bnf_subtoken failed [BNFParse %d]\n", 258);
        return out_of_memory(p);
      }
      rule->line = item.line;
      rule->column = tokenizer_column(p.tz, item.start);
      if (item.is(u"FILE")) bnft->root_token = rule;
    }
    more = get_next_token(p.tz, ST_DONTCARE);
  }
  return true;
}

void set_table_name(sBNFTable* bnft, const char16_t* path) {
  const char16_t* name = path;
  for (const char16_t* c = path; *c != 0; ++c) {
    if (*c == u'\\' || *c == u'/') name = c + 1;
  }
  wstr_copy(bnft->name, name, kBNFNameUnits);
}

}  // namespace

sBNFTable* parse_bnf_file(sTokenizer& tz, sReporter& rep, const sTokenTable& tokens, const char16_t* path,
                          sFileDiagnosis* diagnosis) {
  sBNFParse p{tz, rep, tokens, diagnosis, path};
  // A file that cannot be opened names no line rather than the last line of
  // the file read before it.
  p.tz.error_position = 0;
  if (path == nullptr || tokenizer_is_open(p.tz)) return nullptr;
  if (!tokenizer_open_file(p.tz, p.rep, path)) {
    diagnose(diagnosis, path, 0, 0, kCannotOpen);
    return nullptr;
  }
  set_report_definition_file(p.rep, path);
  auto* bnft = static_cast<sBNFTable*>(vexlor_mem_alloc_fixed(sizeof(sBNFTable)));
  bool ok = VX_CHECK(p.rep, kModuleBnfParse, 210, bnft != nullptr,
                     "(bnft = (sBNFTable *) vexlor_mem_alloc_fixed(sizeof (sBNFTable))) != 0");
  if (ok) {
    std::memset(bnft, 0, sizeof(sBNFTable));
    ok = VX_CHECK(p.rep, kModuleBnfParse, 215, add_predef_bnf_tokens(p.rep, bnft), "add_predef_bnf_tokens (bnft)");
  }
  if (ok) ok = parse_statements(p, bnft);
  // A saved state that found no memory ends the reading early; what was read
  // must not pass for the whole file.
  if (ok) ok = VX_CHECK(p.rep, kModuleBnfParse, 270, !tokenizer_state_lost(p.tz), "!tokenizer_state_lost ()");
  // A fault not described where it was met (none is known) is described
  // where the parser stopped.
  if (!ok) {
    if (tokenizer_state_lost(p.tz)) {
      out_of_memory(p);
    } else {
      fail_here(p, u"unexpected " + found(p));
    }
  }
  tokenizer_close(p.tz);
  if (ok) {
    set_table_name(bnft, path);
    ok = VX_CHECK_FILE(p.rep, kModuleBnfParse, 280, bnft->root_token != nullptr, "bnft->root_token != 0");
    if (!ok) diagnose(diagnosis, path, 0, 0, u"no rule FILE");
    if (ok && bnft->file_type == 0) ok = fail_at(p, 0, 0, u"no FILE_TYPE given");
    if (ok && bnft->file_type_ver == 0) ok = fail_at(p, 0, 0, u"no FILE_TYPE_VER given");
    ok = ok && resolve_bnf_references(p, bnft);
  }
  set_report_definition_file(p.rep, nullptr);
  if (!ok) {
    destroy_bnf_table(bnft);
    return nullptr;
  }
  return bnft;
}
