// Matching a text body against a grammar: the shared grammar walker over
// the conversion's tokenizer. An attempt saves the tokenizer state; a failed
// attempt gives its tokens back.
#include "shape/text_reader.h"

#include <cstdint>
#include <cstring>

#include "bnf/bnf_model.h"
#include "bnf/tokenizer.h"
#include "common/report.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "shape/conversion.h"
#include "shape/grammar_walker.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

namespace {

// Backtracking may try the same tokens over and over: a grammar whose rules
// each try the next rule twice makes 2^n attempts before it takes a token,
// and forty such lines would keep a read busy for days. A read may make this
// many attempts, and kAttemptsPerToken more for each token up to the
// furthest it has reached; beyond that it fails. Real grammars make a
// handful of attempts per token.
constexpr std::uint64_t kAttemptBase = std::uint64_t(1) << 24;
constexpr std::uint64_t kAttemptsPerToken = 4096;

constexpr sUInt kLineTerminalNode = 1520;
constexpr sUInt kLineBlockNode = 1637;
constexpr sUInt kLinePreview = 1664;
constexpr sUInt kLineTooManyAttempts = 1464;

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
bool accepts(const sTokenTable& tokens, const char16_t* text, sUInt kind, const char16_t* literal, sUInt* value,
             bool* unresolved) {
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
      const sShapeTokenDef* def = tokutil_find_stoken_by_name(tokens, text);
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

// Attempts are bounded by nothing but the text's end: the bound is empty.
struct NoBound {};

class TextReader : public sGrammarWalker<TextReader> {
 public:
  using Point = sUInt;  // tokens taken; the tokenizer keeps the rest

  static constexpr sReaderLines kLines{1450, 1456, 1462, 1736, 1592};
  static constexpr const char16_t* kTooDeep = u"Text nested deeper than %u grammar levels [ShpFile %d]\n";
  static constexpr bool kTerminalsNest = false;
  static constexpr bool kArrayBrackets = false;

  TextReader(sConversion& conv, sTokenizer& tz, sShapeArena* arena)
      : conv_(conv), tz_(tz), arena_(arena), body_start_(tz.stream != nullptr ? tz.stream->position : 0) {}

  sShapeArena* arena() { return arena_; }
  sReporter& rep() { return conv_.rep; }
  bool unresolved_tokens() const { return unresolved_tokens_; }

  // The diagnosis of a read that did not match, or that matched a token
  // value naming no definition.
  void diagnose(bool matched) {
    sReadDiagnosis& d = conv_.diagnosis;
    d = sReadDiagnosis{};
    const sByte* body = tz_.stream != nullptr ? tz_.stream->body : nullptr;
    if (body == nullptr) return;
    const sUInt size = tz_.stream->body_size;
    if (matched) {
      if (!unresolved_tokens_) return;
      d.failure = sReadFailure::kUnknownToken;
      place_in_text(body, size, unknown_start_, true, d);
      return;
    }
    d.failure = stop() != sReadFailure::kNone ? stop() : sReadFailure::kMismatch;
    const sUInt at = d.failure == sReadFailure::kTooDeep ? stop_start_ : refused_start_;
    if (at == kAtEnd) {
      place_in_text(body, size, end_of_text(body, size, body_start_), false, d);
      d.found = u"end of file";
    } else {
      place_in_text(body, size, at, true, d);
    }
    word_expected(refusals(), d);
  }

  // The read goes no further: the next token is looked at only to say
  // where it stopped.
  void mark_stop() {
    preview_next_token(tz_, ST_DONTCARE);
    stop_start_ = current_start();
  }

  Point save() {
    push_token_state(tz_);
    return tokens_taken_;
  }
  void restore(Point taken) {
    tokens_taken_ = taken;
    pop_token_state(tz_);
  }
  void drop(Point) { drop_token_state(tz_); }
  sUInt progress() const { return tokens_taken_; }

  bool count_attempt() {
    if (++attempts_ > kAttemptBase + kAttemptsPerToken * furthest_) {
      report_at(conv_.rep, kModuleShpFile, kLineTooManyAttempts, u"Too many attempts to match the text [ShpFile %d]\n",
                kLineTooManyAttempts);
      return false;
    }
    return true;
  }

  // A terminal: the next token, if accepted, becomes one node. The token is
  // only previewed until it is accepted, so a refusal needs no saved state.
  bool match_terminal(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, NoBound) {
    return take_terminal(def->type, def->text, entry, cursor);
  }

  bool match_block(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, NoBound bound) {
    sShapeItemNode* parent = shape_node_create(cursor, arena_);
    if (parent == nullptr) {
      abort_read(kNodeNotCreated, kLineBlockNode);
      return false;
    }
    parent->type = SHN_PARENT;
    parent->bnf_entry = entry;
    sShapeItemNode* local = parent;
    // The token name, spelled exactly as the rule's name.
    if (!take_terminal(BNFT_LITERAL, def->text, entry, &local)) return false;
    if (!preview_next_token(tz_, ST_DONTCARE)) {
      report_at(conv_.rep, kModuleShpFile, kLinePreview, u"Failed to preview token [ShpFile %d]\n", kLinePreview);
      refused(BNFT_STRING, nullptr, nullptr);
      return refused(BNFT_LITERAL, u"(", nullptr);
    }
    conv_.error_position = tz_.token.line;
    // Any one token before the opening bracket is the block name.
    if (tz_.token.type != ST_OPEN && !take_terminal(BNFT_STRING, nullptr, nullptr, &local)) return false;
    if (!take_terminal(BNFT_LITERAL, u"(", nullptr, &local)) return false;
    const bool content = match_sequence(def, &local, bound);
    // After content that failed, the bracket is looked at all the same
    // (where the read last was), but it is not what the grammar expects.
    quiet_refusals_ = !content;
    const bool closed = !aborted() && take_terminal(BNFT_LITERAL, u")", nullptr, &local);
    quiet_refusals_ = false;
    return content && closed;
  }

 private:
  static constexpr sUInt kAtEnd = 0xFFFFFFFFu;

  // Where the previewed token stands in the body (kAtEnd: the end of input).
  sUInt current_start() const { return tz_.token.status == kTokenPresent ? tz_.token.start : kAtEnd; }

  // A terminal was refused at the current token; a block's name (the one
  // string without a grammar entry) is expected as such.
  bool refused(sUInt kind, const char16_t* literal, const sBNFSubtoken* node_entry) {
    if (kind == BNFT_STRING && node_entry == nullptr) kind = kExpectBlockName;
    if (!quiet_refusals_ && refuse(tokens_taken_, kind, literal)) refused_start_ = current_start();
    return false;
  }

  bool take_terminal(sUInt kind, const char16_t* literal, const sBNFSubtoken* node_entry, sShapeItemNode** cursor) {
    if (!preview_next_token(tz_, ST_DONTCARE)) return refused(kind, literal, node_entry);  // end of input
    conv_.error_position = tz_.token.line;
    sUInt value = 0;
    bool unresolved = false;
    if (!accepts(conv_.tokens, tz_.token.tokenbuf, kind, literal, &value, &unresolved)) {
      return refused(kind, literal, node_entry);
    }
    if (unresolved) {
      // The first such token in the text that a later attempt read again.
      if (!unresolved_tokens_ || tokens_taken_ <= unknown_point_) {
        unknown_point_ = tokens_taken_;
        unknown_start_ = tz_.token.start;
      }
      unresolved_tokens_ = true;
    }
    sShapeItemNode* node = nullptr;
    if (kind >= BNFT_SINT && kind <= BNFT_FLOAT) {
      // A number keeps its value alone.
      node = shape_number_append(cursor, node_entry, kind - BNFT_LITERAL, value, arena_);
    } else {
      // A token that can stay where it is in the text needs no copy.
      const char16_t* in_place = token_text_in_place(tz_);
      node = in_place != nullptr ? shape_node_create_placed(cursor, in_place, tz_.token.length, arena_)
                                 : shape_node_create_text(cursor, tz_.token.tokenbuf, tz_.token.length, arena_);
      if (node != nullptr) {
        node->type = kind - BNFT_LITERAL;
        node->value = value;
        node->bnf_entry = node_entry;
      }
    }
    if (node == nullptr) {
      abort_read(kNodeNotCreated, kLineTerminalNode);
      return false;
    }
    get_next_token(tz_, ST_DONTCARE);
    if (++tokens_taken_ > furthest_) furthest_ = tokens_taken_;
    return true;
  }

  sConversion& conv_;
  sTokenizer& tz_;
  sShapeArena* arena_;
  // Tokens consumed so far; an iteration that leaves it unchanged consumed
  // nothing and ends its repetition.
  sUInt tokens_taken_ = 0;
  // The most tokens taken at any point, and the attempts made (entries
  // matched or tried), for the attempt budget.
  sUInt furthest_ = 0;
  std::uint64_t attempts_ = 0;
  // A token value was matched whose name has no definition: the first of
  // them, as a token count and where it stands.
  bool unresolved_tokens_ = false;
  sUInt unknown_point_ = 0;
  sUInt unknown_start_ = 0;
  // Where the text starts, where the furthest refusal was, and where the
  // read was aborted.
  sUInt body_start_ = 0;
  sUInt refused_start_ = kAtEnd;
  sUInt stop_start_ = kAtEnd;
  bool quiet_refusals_ = false;
};

}  // namespace

int match_text(sConversion& conv, sTokenizer& tz, sShapeArena* arena, const sBNFSubtoken* entry,
               sShapeItemNode** cursor, int* tokens_resolved) {
  TextReader reader(conv, tz, arena);
  const bool matched = reader.walk(entry, cursor, NoBound{});
  reader.diagnose(matched);
  if (tokens_resolved != nullptr) *tokens_resolved = reader.unresolved_tokens() ? 0 : 1;
  return matched ? 1 : 0;
}
