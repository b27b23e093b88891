#include "bnf/tokenizer.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/memory.h"
#include "common/strings.h"
#include "container/fioshare.h"

namespace {

constexpr sUInt kInitialSavedStates = 64;

// Classes of the units below 0x80; everything above belongs to words.
enum : unsigned char {
  kUnitWord = 0,
  kUnitSkip = 1,   // white space or control: skipped, or ends a word
  kUnitBreak = 2,  // ends a word and is left for the next token
};

constexpr unsigned char unit_class(unsigned c) {
  if (c == u'\n' || c == u'"' || c == u'(' || c == u')' || c == u'[' || c == u']' || c == u'{' || c == u'}' ||
      c == u'|')
    return kUnitBreak;
  if (c < 0x20 || c == 0x7F || c == u' ') return kUnitSkip;
  return kUnitWord;
}

struct sUnitClasses {
  unsigned char of[128];
  constexpr sUnitClasses() : of() {
    for (unsigned c = 0; c < 128; ++c) of[c] = unit_class(c);
  }
};
constexpr sUnitClasses kUnitClasses;

inline unsigned char class_of(char16_t c) { return c < 128 ? kUnitClasses.of[c] : static_cast<unsigned char>(kUnitWord); }

// Reads straight from the stream's in-memory body.
struct sCursor {
  const sByte* body;
  sUInt size;
  sUInt pos;

  bool next(char16_t& unit) {
    if (size - pos < 2) return false;
    unit = static_cast<char16_t>(body[pos] | (body[pos + 1] << 8));
    pos += 2;
    return true;
  }
  void put_back() { pos -= 2; }
};

void set_end_of_input(sTokenizer& tz) {
  tz.token.tokenbuf[0] = 0;
  tz.token.length = 0;
  tz.token.type = ST_DONTCARE;
  tz.token.status = kTokenEndOfInput;
}

void read_string(sTokenizer& tz, sCursor& cur) {
  char16_t* buf = tz.token.tokenbuf;
  sUInt len = 0;
  bool escaped = false;
  char16_t unit;
  while (cur.next(unit)) {
    if (unit == u'\r') continue;
    if (escaped) {
      escaped = false;
      switch (unit) {
        case u'"': break;
        case u'\\': break;
        case u'n': unit = u'\n'; break;
        case u't': unit = u'\t'; break;
        default: continue;  // an unknown pair is dropped whole
      }
    } else if (unit == u'\\') {
      escaped = true;
      continue;
    } else if (unit == u'"') {
      while (cur.next(unit)) {
        if (unit == u'\r') continue;
        if (unit == u'+') {
          tz.token.continued = 1;
        } else {
          cur.put_back();
        }
        break;
      }
      break;
    } else if (unit == 0) {
      continue;
    }
    if (len < kTokenMaxUnits) buf[len++] = unit;
  }
  buf[len] = 0;
  tz.token.length = len;
}

void read_raw_token(sTokenizer& tz, sCursor& cur) {
  tz.token.continued = 0;
  char16_t unit;
  for (;;) {
    tz.token.start = cur.pos;
    if (!cur.next(unit)) {
      set_end_of_input(tz);
      return;
    }
    if (unit == u'\n') {
      tz.token.tokenbuf[0] = u'\n';
      tz.token.tokenbuf[1] = 0;
      tz.token.length = 1;
      tz.token.type = ST_NEWLINE;
      tz.token.status = kTokenPresent;
      return;
    }
    if (class_of(unit) != kUnitSkip) break;
  }
  tz.token.status = kTokenPresent;
  switch (unit) {
    case u'"':
      tz.token.type = ST_STRING;
      read_string(tz, cur);
      return;
    case u'(':
    case u'[':
    case u'{':
      tz.token.type = ST_OPEN;
      break;
    case u')':
    case u']':
    case u'}':
      tz.token.type = ST_CLOSE;
      break;
    case u'|':
      tz.token.type = ST_BAR;
      break;
    default: {
      tz.token.type = (unit == u'.' || unit == u'-' || unit == u'+' || wc_is_digit(unit)) ? ST_NUMBER : ST_WORD;
      char16_t* buf = tz.token.tokenbuf;
      buf[0] = unit;
      sUInt len = 1;
      while (cur.next(unit)) {
        unsigned char cls = class_of(unit);
        if (cls == kUnitWord) {
          if (len < kTokenMaxUnits) buf[len++] = unit;
        } else if (unit == u'\r') {
          continue;
        } else {
          if (cls == kUnitBreak) cur.put_back();
          break;
        }
      }
      buf[len] = 0;
      tz.token.length = len;
      return;
    }
  }
  tz.token.tokenbuf[0] = unit;
  tz.token.tokenbuf[1] = 0;
  tz.token.length = 1;
}

// Comment markers count on the text of a raw token, whatever its class.
inline bool text_is(const sTokenizer& tz, char16_t a, char16_t b) {
  return tz.token.length == 2 && tz.token.tokenbuf[0] == a && tz.token.tokenbuf[1] == b;
}

bool at_end(const sTokenizer& tz) { return tz.token.status != kTokenPresent; }

void skip_comments(sTokenizer& tz, sCursor& cur) {
  read_raw_token(tz, cur);
  for (;;) {
    bool consumed = false;
    if (text_is(tz, u'/', u'*')) {
      sUInt depth = 1;
      while (depth > 0) {
        read_raw_token(tz, cur);
        if (at_end(tz)) break;
        if (text_is(tz, u'/', u'*')) {
          ++depth;
        } else if (text_is(tz, u'*', u'/')) {
          --depth;
        } else if (tz.token.type == ST_NEWLINE) {
          ++tz.token.line;
        }
      }
      read_raw_token(tz, cur);
      consumed = true;
    } else if (text_is(tz, u'/', u'/')) {
      for (;;) {
        read_raw_token(tz, cur);
        if (at_end(tz)) break;
        if (tz.token.length == 1 && tz.token.tokenbuf[0] == u'\n') {
          if (tz.token.type == ST_NEWLINE) ++tz.token.line;
          break;
        }
      }
      read_raw_token(tz, cur);
      consumed = true;
    }
    if (!at_end(tz) && tz.token.type == ST_NEWLINE) {
      ++tz.token.line;
      read_raw_token(tz, cur);
      consumed = true;
    }
    if (!consumed || at_end(tz)) return;
  }
}

// Joins the pieces of a string continued with "+"; the first piece is in
// tokenbuf already.
void join_pieces(sTokenizer& tz, sCursor& cur) {
  const sUInt start = tz.token.start;
  sUInt joined = tz.token.length;
  std::memcpy(tz.join_buffer, tz.token.tokenbuf, joined * sizeof(char16_t));
  for (;;) {
    skip_comments(tz, cur);
    if (at_end(tz)) {
      set_end_of_input(tz);
      return;
    }
    sUInt room = kTokenMaxUnits - joined;
    sUInt n = tz.token.length < room ? tz.token.length : room;
    std::memcpy(tz.join_buffer + joined, tz.token.tokenbuf, n * sizeof(char16_t));
    joined += n;
    if (joined >= kTokenMaxUnits || !tz.token.continued) break;
  }
  std::memcpy(tz.token.tokenbuf, tz.join_buffer, joined * sizeof(char16_t));
  tz.token.tokenbuf[joined] = 0;
  tz.token.length = joined;
  tz.token.start = start;
}

// The common token, a word or number after blanks and line ends, read in one
// pass: what skip_comments and read_raw_token would make of it, without a
// token for every line end. Anything else (a bracket, a string, the end of
// the input, a word that opens a comment) is left to them: false, with the
// cursor and line untouched.
bool read_plain_word(sTokenizer& tz, sCursor& cur) {
  if (cur.size < 2 || cur.pos > cur.size - 2) return false;
  const sByte* const body = cur.body;
  // Whole units from the cursor on, read in place when they are aligned.
  if (reinterpret_cast<std::uintptr_t>(body + cur.pos) % alignof(char16_t) != 0) return false;
  const auto* const first = reinterpret_cast<const char16_t*>(body + cur.pos);
  const char16_t* const end = first + (cur.size - cur.pos) / 2;
  const char16_t* p = first;
  sUInt lines = 0;
  char16_t unit;
  for (;; ++p) {
    if (p == end) return false;
    unit = *p;
    if (unit >= 128) break;
    const unsigned char cls = kUnitClasses.of[unit];
    if (cls == kUnitWord) break;
    if (cls == kUnitBreak) {
      if (unit != u'\n') return false;
      ++lines;
    }
  }
  const char16_t* const start = p;
  char16_t* buf = tz.token.tokenbuf;
  // The units of the word: up to the first that is no word unit, where
  // carriage returns are passed over.
  // Copied as they are scanned, up to the longest token; the rest of a
  // longer word is passed over.
  const char16_t* const copy_end =
      static_cast<std::size_t>(end - start) > kTokenMaxUnits ? start + kTokenMaxUnits : end;
  buf[0] = unit;
  char16_t* out = buf + 1;
  for (++p; p != copy_end; ++p) {
    const char16_t c = *p;
    if (c < 128 && kUnitClasses.of[c] != kUnitWord) break;
    *out++ = c;
  }
  if (p == copy_end) {
    while (p != end && (*p >= 128 || kUnitClasses.of[*p] == kUnitWord)) ++p;
  }
  const char16_t* units_end = p;
  sUInt len = static_cast<sUInt>(out - buf);
  if (p != end && *p == u'\r') {
    // A carriage return goes unseen: the word may go on behind it.
    for (; p != end; ++p) {
      const char16_t next = *p;
      if (next < 128 && kUnitClasses.of[next] != kUnitWord) {
        if (next == u'\r') continue;
        if (kUnitClasses.of[next] == kUnitSkip) ++p;
        break;
      }
      if (len < kTokenMaxUnits) buf[len++] = next;
      units_end = p + 1;
    }
  } else if (p != end && kUnitClasses.of[*p] == kUnitSkip) {
    ++p;  // the blank that ended the word goes with it
  }
  // "/*" and "//" open comments.
  if (len == 2 && buf[0] == u'/' && (buf[1] == u'*' || buf[1] == u'/')) return false;
  // A carriage return inside the word, or a word cut at the longest token,
  // leaves units that are not the token's; a unit that is no blank (or none)
  // behind it cannot become a terminator.
  tz.plain_token.valid = static_cast<sUInt>(units_end - start) == len && units_end != end && *units_end < 128 &&
                      kUnitClasses.of[*units_end] == kUnitSkip;
  tz.plain_token.start = cur.pos + static_cast<sUInt>(start - first) * 2;
  tz.token.start = tz.plain_token.start;
  tz.plain_token.end = cur.pos + static_cast<sUInt>(units_end - first) * 2;
  buf[len] = 0;
  tz.token.length = len;
  tz.token.type = (unit == u'.' || unit == u'-' || unit == u'+' || wc_is_digit(unit)) ? ST_NUMBER : ST_WORD;
  tz.token.status = kTokenPresent;
  tz.token.continued = 0;
  tz.token.line += lines;
  cur.pos += static_cast<sUInt>(p - first) * 2;
  return true;
}

void read_token(sTokenizer& tz) {
  if (tz.states_failed) {
    set_end_of_input(tz);
    return;
  }
  sUInt start = tz.stream->position;
  if (tz.last_read.valid && tz.last_read.start_position == start && tz.last_read.start_line == tz.token.line) {
    tz.stream->position = tz.last_read.end_position;
    tz.token.line = tz.last_read.end_line;
    return;
  }
  tz.last_read.valid = true;
  tz.last_read.start_position = start;
  tz.last_read.start_line = tz.token.line;
  sCursor cur{tz.stream->body, tz.stream->body_size, start};
  if (cur.pos > cur.size) cur.pos = cur.size;
  if (!read_plain_word(tz, cur)) {
    tz.plain_token.valid = false;
    skip_comments(tz, cur);
    if (!at_end(tz) && tz.token.continued && tz.token.length < kTokenMaxUnits) join_pieces(tz, cur);
  }
  tz.stream->position = cur.pos;
  tz.last_read.end_position = cur.pos;
  tz.last_read.end_line = tz.token.line;
}

int class_result(const sTokenizer& tz, sUInt type) {
  if (tz.token.status != kTokenPresent) return 0;
  return type == ST_DONTCARE || tz.token.type == type;
}

void free_saved_states(sTokenizer& tz) {
  std::free(tz.saved);
  tz.saved = nullptr;
  tz.saved_count = 0;
  tz.saved_capacity = 0;
  tz.lost_states = 0;
  tz.states_failed = false;
}

bool grow_saved_states(sTokenizer& tz) {
  sUInt capacity = tz.saved_capacity == 0 ? kInitialSavedStates : tz.saved_capacity * 2;
  if (capacity <= tz.saved_capacity || capacity > 0x7FFFFFFFu / sizeof(sSavedTokenState)) return false;
  auto* grown = static_cast<sSavedTokenState*>(vexlor_mem_alloc_fixed(capacity * sizeof(sSavedTokenState)));
  if (grown == nullptr) return false;
  if (tz.saved_count != 0) std::memcpy(grown, tz.saved, tz.saved_count * sizeof(sSavedTokenState));
  std::free(tz.saved);
  tz.saved = grown;
  tz.saved_capacity = capacity;
  return true;
}

}  // namespace

sTokenizer::sTokenizer() { token.tokenbuf[0] = 0; }

sTokenizer::~sTokenizer() { tokenizer_close(*this); }

int tokenizer_open_file(sTokenizer& tz, sReporter& rep, const char16_t* path) {
  if (tz.stream != nullptr) return 0;
  sFioShareFile* stream = fioshare_file_open(rep, path, FIO_READ, FIO_COMP_NONE, 0);
  if (stream == nullptr) return 0;
  if (!tokenizer_open_stream(tz, stream)) {
    fioshare_file_close(stream);
    return 0;
  }
  return 1;
}

int tokenizer_open_stream(sTokenizer& tz, sFioShareFile* stream) {
  if (stream == nullptr || tz.stream != nullptr) return 0;
  if (!fioshare_is_unicode(stream)) {
    sByte mark[2];
    sUInt got = fioshare_read(stream, mark, 2);
    if (got != 2) {
      if (got != 0) fioshare_seek(stream, static_cast<sUInt>(-static_cast<sInt>(got)), 2);
      return 0;
    }
    if (!(mark[0] == 0xFF && mark[1] == 0xFE)) fioshare_seek(stream, static_cast<sUInt>(-2), 2);
  }
  tz.stream = stream;
  tz.pending = false;
  tz.token.line = 1;
  tz.last_read.valid = false;
  tz.plain_token.valid = false;
  return 1;
}

int tokenizer_is_open(const sTokenizer& tz) { return tz.stream != nullptr; }

void tokenizer_close(sTokenizer& tz) {
  if (tz.stream != nullptr) fioshare_file_close(tz.stream);
  tz.stream = nullptr;
  tz.pending = false;
  tz.last_read.valid = false;
  tz.plain_token.valid = false;
  free_saved_states(tz);
}

int get_next_token(sTokenizer& tz, sUInt type) {
  if (tz.stream == nullptr) {
    set_end_of_input(tz);
    return 0;
  }
  if (tz.pending) {
    if (tz.token.status == kTokenPresent) tz.pending = false;
  } else {
    read_token(tz);
  }
  return class_result(tz, type);
}

int preview_next_token(sTokenizer& tz, sUInt type) {
  if (tz.stream == nullptr) {
    set_end_of_input(tz);
    return 0;
  }
  if (!tz.pending) {
    read_token(tz);
    tz.pending = true;
  }
  return class_result(tz, type);
}

int get_next_token_text(sTokenizer& tz, const char16_t* text) {
  get_next_token(tz, ST_DONTCARE);
  if (tz.token.status != kTokenPresent) return 0;
  return wstr_equal_nocase(std::u16string_view(tz.token.tokenbuf, tz.token.length), std::u16string_view(text));
}

void push_token_state(sTokenizer& tz) {
  if (tz.stream == nullptr) return;
  if (tz.lost_states != 0 || (tz.saved_count == tz.saved_capacity && !grow_saved_states(tz))) {
    ++tz.lost_states;
    tz.states_failed = true;
    return;
  }
  sSavedTokenState& state = tz.saved[tz.saved_count++];
  state.pending = tz.pending;
  if (tz.pending) {
    state.position = tz.last_read.start_position;
    state.line = tz.last_read.start_line;
  } else {
    state.position = tz.stream->position;
    state.line = tz.token.line;
  }
}

void pop_token_state(sTokenizer& tz) {
  if (tz.lost_states != 0) {
    --tz.lost_states;
    return;
  }
  if (tz.saved_count == 0 || tz.stream == nullptr) return;
  const sSavedTokenState state = tz.saved[--tz.saved_count];
  tz.stream->position = state.position;
  tz.token.line = state.line;
  tz.pending = false;
  if (state.pending) {
    read_token(tz);
    tz.pending = true;
  }
}

void drop_token_state(sTokenizer& tz) {
  if (tz.lost_states != 0) {
    --tz.lost_states;
    return;
  }
  if (tz.saved_count != 0) --tz.saved_count;
}

int tokenizer_state_lost(const sTokenizer& tz) { return tz.states_failed ? 1 : 0; }

const char16_t* token_text_in_place(sTokenizer& tz) {
  // The token in the record is the one last read (a read again from the
  // same point keeps it), and it was read as a plain word.
  if (tz.stream == nullptr || !tz.plain_token.valid || tz.token.status != kTokenPresent || !tz.last_read.valid ||
      tz.stream->body == nullptr) {
    return nullptr;
  }
  sByte* const at = tz.stream->body + tz.plain_token.start;
  if (reinterpret_cast<std::uintptr_t>(at) % alignof(char16_t) != 0) return nullptr;
  // The blank behind the word becomes its terminator. A zero unit is a
  // blank to every later reading, so the text reads as before: the same
  // tokens on the same lines.
  tz.stream->body[tz.plain_token.end] = 0;
  tz.stream->body[tz.plain_token.end + 1] = 0;
  return reinterpret_cast<const char16_t*>(at);
}

sByte* tokenizer_detach_text(sTokenizer& tz) {
  if (tz.stream == nullptr) return nullptr;
  sByte* body = tz.stream->body;
  tz.stream->body = nullptr;
  tz.stream->body_size = 0;
  tz.stream->capacity = 0;
  tz.stream->position = 0;
  tz.last_read.valid = false;
  tz.plain_token.valid = false;
  return body;
}

sUInt get_error_position(const sTokenizer& tz) { return tz.error_position; }

sUInt tokenizer_column(const sTokenizer& tz, sUInt start) {
  if (tz.stream == nullptr || tz.stream->body == nullptr) return 0;
  const sByte* body = tz.stream->body;
  sUInt at = start < tz.stream->body_size ? start : tz.stream->body_size;
  sUInt column = 1;
  while (at >= 2) {
    const auto unit = static_cast<char16_t>(body[at - 2] | (body[at - 1] << 8));
    if (unit == u'\n') break;
    // The second unit of a pair and a byte-order mark are no characters.
    if (!(unit >= 0xDC00 && unit <= 0xDFFF) && unit != 0xFEFF) ++column;
    at -= 2;
  }
  return column;
}
