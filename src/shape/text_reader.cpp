// Matching a text body against a grammar: recursive descent with
// backtracking over the shared tokenizer. Every attempt saves the tokenizer
// state and marks the tree cursor; a failed attempt gives its tokens back and
// removes the nodes it linked.
#include "shape/text_reader.h"

#include <cstdint>
#include <cstring>

#include "bnf/bnf_model.h"
#include "bnf/tokenizer.h"
#include "common/report.h"
#include "common/strings.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

namespace {

// Grammar constructs nest at most this deep while a text body is matched
// (every rule, construct and block entered counts one level; a block nested
// in a block through a repetition and a choice takes three or four). Deeper
// input fails the read instead of exhausting the stack: a level takes under
// 200 bytes of stack in an optimised build, so the limit needs at most
// 400 KB, well inside the 1 MB stack of a Windows console program.
constexpr sUInt kMaxMatchDepth = 2000;

// Backtracking may try the same tokens over and over: a grammar whose rules
// each try the next rule twice makes 2^n attempts before it takes a token,
// and forty such lines would keep a read busy for days. A read may make this
// many attempts, and kAttemptsPerToken more for each token up to the
// furthest it has reached; beyond that it fails. Real grammars make a
// handful of attempts per token.
constexpr std::uint64_t kAttemptBase = std::uint64_t(1) << 24;
constexpr std::uint64_t kAttemptsPerToken = 4096;

constexpr const char16_t* kSubConstruct = u"(sub-construct)";

// The state of one top-level match.
struct TextMatch {
  sUInt depth = 0;
  // Tokens consumed so far; an iteration that leaves it unchanged consumed
  // nothing and ends its repetition.
  sUInt tokens_taken = 0;
  // The most tokens taken at any point, and the attempts made (entries
  // matched or tried), for the attempt budget.
  sUInt furthest = 0;
  std::uint64_t attempts = 0;
  // Set when the read cannot succeed whatever is tried next (nesting too
  // deep, memory exhausted): every attempt in progress then fails, optional
  // parts and repetitions included, so nothing is silently dropped.
  bool aborted = false;
  // A token value was matched whose name has no definition.
  bool unresolved_tokens = false;
};

bool accepts_sint(const char16_t* text) {
  if (*text == u'-') ++text;
  for (; *text != 0; ++text) {
    if (!wc_is_digit(*text)) return false;
  }
  return true;
}

bool accepts_digits(const char16_t* text, bool hexadecimal) {
  for (; *text != 0; ++text) {
    if (!(hexadecimal ? wc_is_xdigit(*text) : wc_is_digit(*text))) return false;
  }
  return true;
}

// Whether the current token is accepted as a terminal of the given kind;
// only its text counts, never its class. A value is given the number its
// text converts to, as normalising would (left alone when nothing converts),
// so that the tree needs no second scan of its texts.
bool accepts(sUInt kind, const char16_t* literal, sUInt* value, bool* unresolved) {
  const char16_t* text = token.tokenbuf;
  switch (kind) {
    case BNFT_LITERAL: return literal != nullptr && wstr_equal(text, literal);
    case BNFT_STRING: return true;
    case BNFT_SINT: {
      if (!accepts_sint(text)) return false;
      sInt v;
      if (scan_sint_text(text, &v) == kScanConverted) *value = static_cast<sUInt>(v);
      return true;
    }
    case BNFT_UINT:
      if (!accepts_digits(text, false)) return false;
      scan_uint_text(text, value);
      return true;
    case BNFT_DWORD:
    case BNFT_BYTE:
      if (!accepts_digits(text, true)) return false;
      scan_hex_text(text, value);
      return true;
    case BNFT_FLOAT: {
      float f;
      const int result = scan_float_text(text, &f);
      if (result == kScanNoMatch) return false;
      if (result == kScanConverted) std::memcpy(value, &f, sizeof f);
      return true;
    }
    case BNFT_TOKEN: {
      if (is_valid_identifier(text) == 0) return false;
      // Its id, as normalising would look it up; one without a definition
      // is left for normalising to report.
      const sShapeTokenDef* def = tokutil_find_stoken_by_name(text);
      if (def != nullptr) {
        *value = def->id;
      } else {
        *unresolved = true;
      }
      return true;
    }
    default: return false;
  }
}

// A terminal: the next token, if accepted, becomes one node. The token is
// only previewed until it is accepted, so a refusal needs no saved state.
bool match_terminal(TextMatch& m, sUInt kind, const char16_t* literal, const sBNFSubtoken* node_entry,
                    sShapeItemNode** cursor) {
  if (!preview_next_token(ST_DONTCARE)) return false;  // end of input
  error_position = token.line;
  sUInt value = 0;
  if (!accepts(kind, literal, &value, &m.unresolved_tokens)) {
    debug_trace(0, u"*BNFParse failed to match (%d): %s: %s %s\n", token.line, u"",
                literal != nullptr ? literal : kSubConstruct, token.tokenbuf);
    return false;
  }
  // A token that can stay where it is in the text needs no copy.
  const char16_t* in_place = token_text_in_place();
  sShapeItemNode* node = in_place != nullptr ? shape_node_create_placed(cursor, in_place, token.length)
                                             : shape_node_create_text(cursor, token.tokenbuf, token.length);
  if (node == nullptr) {
    report_at(kModuleShpFile, 1520, u"Failed to create new shape item node [ShpFile %d]\n", 1520);
    m.aborted = true;
    return false;
  }
  node->type = kind - BNFT_LITERAL;
  node->value = value;
  node->bnf_entry = node_entry;
  get_next_token(ST_DONTCARE);
  if (++m.tokens_taken > m.furthest) m.furthest = m.tokens_taken;
  debug_trace(0, u"BNFParse matched (%d): %s: %s %s\n", token.line, u"", literal != nullptr ? literal : kSubConstruct,
              token.tokenbuf);
  return true;
}

bool match_entry(TextMatch& m, const sBNFSubtoken* entry, sShapeItemNode** cursor);

// Every subtoken in order with the given cursor; stops at the first failure.
bool match_sequence(TextMatch& m, const sBNFTokenDef* def, sShapeItemNode** cursor) {
  for (sUInt i = 0; i < def->subtoken_count; ++i) {
    if (!match_entry(m, &def->subtokens[i], cursor)) return false;
  }
  return true;
}

// One or more iterations of the subtokens, linked at `cursor`. An iteration
// that fails part-way is undone entirely, tokens and nodes; one that
// consumed nothing is kept and ends the repetition, which would otherwise
// never end.
bool match_iterations(TextMatch& m, const sBNFTokenDef* def, sShapeItemNode** cursor) {
  if (def->subtoken_count == 0) return false;
  sUInt complete = 0;
  for (;;) {
    const sShapeMark iteration = shape_tree_mark(*cursor);
    const sUInt taken_before = m.tokens_taken;
    push_token_state();
    if (!match_sequence(m, def, cursor) || m.aborted) {
      shape_tree_undo(cursor, iteration);
      m.tokens_taken = taken_before;
      pop_token_state();
      break;
    }
    drop_token_state();
    ++complete;
    if (m.tokens_taken == taken_before) break;
  }
  return complete != 0 && !m.aborted;
}

bool match_block(TextMatch& m, const sBNFTokenDef* def, const sBNFSubtoken* entry, sShapeItemNode** cursor) {
  sShapeItemNode* parent = shape_node_create(cursor);
  if (parent == nullptr) {
    report_at(kModuleShpFile, 1637, u"Failed to create new shape item node [ShpFile %d]\n", 1637);
    m.aborted = true;
    return false;
  }
  parent->type = SHN_PARENT;
  parent->bnf_entry = entry;
  sShapeItemNode* local = parent;
  // The token name, spelled exactly as the rule's name.
  if (!match_terminal(m, BNFT_LITERAL, def->text, entry, &local)) return false;
  if (!preview_next_token(ST_DONTCARE)) {
    report_at(kModuleShpFile, 1664, u"Failed to preview token [ShpFile %d]\n", 1664);
    return false;
  }
  error_position = token.line;
  // Any one token before the opening bracket is the block name.
  if (token.type != ST_OPEN && !match_terminal(m, BNFT_STRING, nullptr, nullptr, &local)) return false;
  if (!match_terminal(m, BNFT_LITERAL, u"(", nullptr, &local)) return false;
  const bool content = match_sequence(m, def, &local);
  const bool closed = !m.aborted && match_terminal(m, BNFT_LITERAL, u")", nullptr, &local);
  return content && closed;
}

enum class Outcome { kFailed, kMatched, kMatchedNothing };

Outcome as_outcome(bool matched) { return matched ? Outcome::kMatched : Outcome::kFailed; }

Outcome match_construct(TextMatch& m, const sBNFTokenDef* def, const sBNFSubtoken* entry, sShapeItemNode** cursor) {
  switch (def->type) {
    case BNFT_TOKENDEF: return as_outcome(match_block(m, def, entry, cursor));
    case BNFT_RULEDEF:
    case BNFT_CON_GROUP: return as_outcome(def->subtoken_count != 0 && match_sequence(m, def, cursor));
    case BNFT_CON_OPTIONAL:
      if (def->subtoken_count == 0) return Outcome::kFailed;
      if (match_sequence(m, def, cursor)) return Outcome::kMatched;
      // Not there: the construct matches and leaves nothing behind.
      debug_trace(0, u"*BNFParse failed to match (%d): BNFT_CON_OPTIONAL: %s\n", token.line, kSubConstruct);
      return m.aborted ? Outcome::kFailed : Outcome::kMatchedNothing;
    case BNFT_CON_REPEAT: return as_outcome(match_iterations(m, def, cursor));
    case BNFT_CON_ARRAY: {
      sShapeItemNode* parent = shape_node_create(cursor);
      if (parent == nullptr) {
        report_at(kModuleShpFile, 1592, u"Failed to create new shape item node [ShpFile %d]\n", 1592);
        m.aborted = true;
        return Outcome::kFailed;
      }
      parent->type = SHN_PARENT;
      parent->bnf_entry = entry;
      sShapeItemNode* local = parent;
      if (!match_iterations(m, def, &local)) return Outcome::kFailed;
      // Iterations that matched without a node leave an array without
      // children; kept, it would take the next node as its first child.
      return parent->child != nullptr ? Outcome::kMatched : Outcome::kMatchedNothing;
    }
    case BNFT_CON_CHOICE:
      for (sUInt i = 0; i < def->subtoken_count; ++i) {
        if (match_entry(m, &def->subtokens[i], cursor)) return Outcome::kMatched;
        if (m.aborted) break;
      }
      return Outcome::kFailed;
    default:
      report_at(kModuleShpFile, 1736, u"Internal error [BNFParse %d]\n", 1736);
      return Outcome::kFailed;
  }
}

bool match_entry(TextMatch& m, const sBNFSubtoken* entry, sShapeItemNode** cursor) {
  const sBNFTokenDef* def = entry != nullptr ? entry->def : nullptr;
  if (def == nullptr) {
    report_at(kModuleShpFile, 1450, u"NULL sBNFTokenDef pointer [ShpFile %d]\n", 1450);
    return false;
  }
  if (cursor == nullptr || *cursor == nullptr) {
    report_at(kModuleShpFile, 1456, u"NULL previous item reference [ShpFile %d]\n", 1456);
    return false;
  }
  if (m.aborted) return false;
  if (++m.attempts > kAttemptBase + kAttemptsPerToken * m.furthest) {
    report_at(kModuleShpFile, 1464, u"Too many attempts to match the text [ShpFile %d]\n", 1464);
    m.aborted = true;
    return false;
  }
  if (bnf_is_terminal(def->type)) return match_terminal(m, def->type, def->text, entry, cursor);
  if (m.depth >= kMaxMatchDepth) {
    report_at(kModuleShpFile, 1462, u"Text nested deeper than %u grammar levels [ShpFile %d]\n", kMaxMatchDepth, 1462);
    m.aborted = true;
    return false;
  }
  ++m.depth;
  const sShapeMark saved = shape_tree_mark(*cursor);
  const sUInt taken_before = m.tokens_taken;
  push_token_state();
  Outcome outcome = match_construct(m, def, entry, cursor);
  if (m.aborted) outcome = Outcome::kFailed;
  --m.depth;
  const char16_t* name = def->text != nullptr ? def->text : kSubConstruct;
  if (outcome == Outcome::kMatched) {
    debug_trace(0, u"BNFParse matched (%d): %s: %s %s\n", token.line, u"", name, u"");
    drop_token_state();
    return true;
  }
  // Failed, or an optional part that was not there: give back the tokens
  // and remove the nodes of the attempt.
  shape_tree_undo(cursor, saved);
  m.tokens_taken = taken_before;
  if (outcome == Outcome::kFailed) debug_trace(0, u"*BNFParse failed to match (%d): %s: %s %s\n", token.line, u"", name, u"");
  pop_token_state();
  return outcome == Outcome::kMatchedNothing;
}

}  // namespace

// The grammar graph is reached through the entries; the table itself is not
// needed to walk it.
int match_text(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor) {
  return match_text_resolving(table, entry, cursor, nullptr);
}

int match_text_resolving(sBNFTable* /*table*/, const sBNFSubtoken* entry, sShapeItemNode** cursor,
                         int* tokens_resolved) {
  TextMatch m;
  const bool matched = match_entry(m, entry, cursor);
  if (tokens_resolved != nullptr) *tokens_resolved = m.unresolved_tokens ? 0 : 1;
  return matched ? 1 : 0;
}
