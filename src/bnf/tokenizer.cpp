#include "bnf/tokenizer.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/memory.h"
#include "common/strings.h"
#include "container/fioshare.h"

sTokenRecord token;
sUInt error_position = 0;

namespace {

// A saved reading point. When a previewed token was pending, the point is
// where that token's reading began: restoring reads it again, which costs one
// token on a failed attempt instead of a copy of the token on every attempt.
struct sSavedState {
  sUInt position;
  sUInt line;
  bool pending;
};

constexpr sUInt kInitialSavedStates = 64;

sFioShareFile* tok_stream = nullptr;
bool token_pending = false;

sSavedState* saved_states = nullptr;
sUInt saved_count = 0;
sUInt saved_capacity = 0;
// Pushes that found no memory. Their pops and drops are absorbed here, and
// the tokenizer reports end of input until it is closed, so that a reader
// fails instead of resuming from a point it never saved.
sUInt lost_states = 0;
bool states_failed = false;

// The last read_token call: where it began and what it left. A backtracking
// reader reads the same token again after every failed attempt; while the
// record still holds that token, reading it again is only a jump.
struct sLastRead {
  bool valid;
  sUInt start_position;
  sUInt start_line;
  sUInt end_position;
  sUInt end_line;
};
sLastRead last_read{};

// Units of a joined string while its pieces are read into tokenbuf.
char16_t join_buffer[kTokenMaxUnits + 1];

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

void set_end_of_input() {
  token.tokenbuf[0] = 0;
  token.length = 0;
  token.type = ST_DONTCARE;
  token.status = kTokenEndOfInput;
}

void read_string(sCursor& cur) {
  char16_t* buf = token.tokenbuf;
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
          token.continued = 1;
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
  token.length = len;
}

void read_raw_token(sCursor& cur) {
  token.continued = 0;
  char16_t unit;
  for (;;) {
    if (!cur.next(unit)) {
      set_end_of_input();
      return;
    }
    if (unit == u'\n') {
      token.tokenbuf[0] = u'\n';
      token.tokenbuf[1] = 0;
      token.length = 1;
      token.type = ST_NEWLINE;
      token.status = kTokenPresent;
      return;
    }
    if (class_of(unit) != kUnitSkip) break;
  }
  token.status = kTokenPresent;
  switch (unit) {
    case u'"':
      token.type = ST_STRING;
      read_string(cur);
      return;
    case u'(':
    case u'[':
    case u'{':
      token.type = ST_OPEN;
      break;
    case u')':
    case u']':
    case u'}':
      token.type = ST_CLOSE;
      break;
    case u'|':
      token.type = ST_BAR;
      break;
    default: {
      token.type = (unit == u'.' || unit == u'-' || unit == u'+' || wc_is_digit(unit)) ? ST_NUMBER : ST_WORD;
      char16_t* buf = token.tokenbuf;
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
      token.length = len;
      return;
    }
  }
  token.tokenbuf[0] = unit;
  token.tokenbuf[1] = 0;
  token.length = 1;
}

// Comment markers count on the text of a raw token, whatever its class.
inline bool text_is(char16_t a, char16_t b) {
  return token.length == 2 && token.tokenbuf[0] == a && token.tokenbuf[1] == b;
}

bool at_end() { return token.status != kTokenPresent; }

void skip_comments(sCursor& cur) {
  read_raw_token(cur);
  for (;;) {
    bool consumed = false;
    if (text_is(u'/', u'*')) {
      sUInt depth = 1;
      while (depth > 0) {
        read_raw_token(cur);
        if (at_end()) break;
        if (text_is(u'/', u'*')) {
          ++depth;
        } else if (text_is(u'*', u'/')) {
          --depth;
        } else if (token.type == ST_NEWLINE) {
          ++token.line;
        }
      }
      read_raw_token(cur);
      consumed = true;
    } else if (text_is(u'/', u'/')) {
      for (;;) {
        read_raw_token(cur);
        if (at_end()) break;
        if (token.length == 1 && token.tokenbuf[0] == u'\n') {
          if (token.type == ST_NEWLINE) ++token.line;
          break;
        }
      }
      read_raw_token(cur);
      consumed = true;
    }
    if (!at_end() && token.type == ST_NEWLINE) {
      ++token.line;
      read_raw_token(cur);
      consumed = true;
    }
    if (!consumed || at_end()) return;
  }
}

// Joins the pieces of a string continued with "+"; the first piece is in
// tokenbuf already.
void join_pieces(sCursor& cur) {
  sUInt joined = token.length;
  std::memcpy(join_buffer, token.tokenbuf, joined * sizeof(char16_t));
  for (;;) {
    skip_comments(cur);
    if (at_end()) {
      set_end_of_input();
      return;
    }
    sUInt room = kTokenMaxUnits - joined;
    sUInt n = token.length < room ? token.length : room;
    std::memcpy(join_buffer + joined, token.tokenbuf, n * sizeof(char16_t));
    joined += n;
    if (joined >= kTokenMaxUnits || !token.continued) break;
  }
  std::memcpy(token.tokenbuf, join_buffer, joined * sizeof(char16_t));
  token.tokenbuf[joined] = 0;
  token.length = joined;
}

inline char16_t unit_at(const sByte* p) {
  if constexpr (std::endian::native == std::endian::little) {
    char16_t unit;
    std::memcpy(&unit, p, sizeof unit);
    return unit;
  } else {
    return static_cast<char16_t>(p[0] | (p[1] << 8));
  }
}

// The common token, a word or number after blanks and line ends, read in one
// pass: what skip_comments and read_raw_token would make of it, without a
// token for every line end. Anything else (a bracket, a string, the end of
// the input, a word that opens a comment) is left to them: false, with the
// cursor and line untouched.
// Where the current token stands in the text when it may be terminated in
// place: its units, contiguous and whole, from `start` to `end`, and a blank
// at `end` (set by read_plain_word, cleared by every other reading).
struct sPlainToken {
  bool valid;
  sUInt start;
  sUInt end;
};
sPlainToken plain_token{};

bool read_plain_word(sCursor& cur) {
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
  char16_t* buf = token.tokenbuf;
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
  plain_token.valid = static_cast<sUInt>(units_end - start) == len && units_end != end && *units_end < 128 &&
                      kUnitClasses.of[*units_end] == kUnitSkip;
  plain_token.start = cur.pos + static_cast<sUInt>(start - first) * 2;
  plain_token.end = cur.pos + static_cast<sUInt>(units_end - first) * 2;
  buf[len] = 0;
  token.length = len;
  token.type = (unit == u'.' || unit == u'-' || unit == u'+' || wc_is_digit(unit)) ? ST_NUMBER : ST_WORD;
  token.status = kTokenPresent;
  token.continued = 0;
  token.line += lines;
  cur.pos += static_cast<sUInt>(p - first) * 2;
  return true;
}

void read_token() {
  if (states_failed) {
    set_end_of_input();
    return;
  }
  sUInt start = tok_stream->position;
  if (last_read.valid && last_read.start_position == start && last_read.start_line == token.line) {
    tok_stream->position = last_read.end_position;
    token.line = last_read.end_line;
    return;
  }
  last_read.valid = true;
  last_read.start_position = start;
  last_read.start_line = token.line;
  sCursor cur{tok_stream->body, tok_stream->body_size, start};
  if (cur.pos > cur.size) cur.pos = cur.size;
  if (!read_plain_word(cur)) {
    plain_token.valid = false;
    skip_comments(cur);
    if (!at_end() && token.continued && token.length < kTokenMaxUnits) join_pieces(cur);
  }
  tok_stream->position = cur.pos;
  last_read.end_position = cur.pos;
  last_read.end_line = token.line;
}

int class_result(sUInt type) {
  if (token.status != kTokenPresent) return 0;
  return type == ST_DONTCARE || token.type == type;
}

void free_saved_states() {
  std::free(saved_states);
  saved_states = nullptr;
  saved_count = 0;
  saved_capacity = 0;
  lost_states = 0;
  states_failed = false;
}

bool grow_saved_states() {
  sUInt capacity = saved_capacity == 0 ? kInitialSavedStates : saved_capacity * 2;
  if (capacity <= saved_capacity || capacity > 0x7FFFFFFFu / sizeof(sSavedState)) return false;
  auto* grown = static_cast<sSavedState*>(vexlor_mem_alloc_fixed(capacity * sizeof(sSavedState)));
  if (grown == nullptr) return false;
  if (saved_count != 0) std::memcpy(grown, saved_states, saved_count * sizeof(sSavedState));
  std::free(saved_states);
  saved_states = grown;
  saved_capacity = capacity;
  return true;
}

}  // namespace

int tokenizer_open_file(const char16_t* path) {
  if (tok_stream != nullptr) return 0;
  sFioShareFile* stream = fioshare_file_open(path, FIO_READ, FIO_COMP_NONE, 0);
  if (stream == nullptr) return 0;
  if (!tokenizer_open_stream(stream)) {
    fioshare_file_close(stream);
    return 0;
  }
  return 1;
}

int tokenizer_open_stream(sFioShareFile* stream) {
  if (stream == nullptr || tok_stream != nullptr) return 0;
  if (!fioshare_is_unicode(stream)) {
    sByte mark[2];
    sUInt got = fioshare_read(stream, mark, 2);
    if (got != 2) {
      if (got != 0) fioshare_seek(stream, static_cast<sUInt>(-static_cast<sInt>(got)), 2);
      return 0;
    }
    if (!(mark[0] == 0xFF && mark[1] == 0xFE)) fioshare_seek(stream, static_cast<sUInt>(-2), 2);
  }
  tok_stream = stream;
  token_pending = false;
  token.line = 1;
  last_read.valid = false;
  plain_token.valid = false;
  return 1;
}

int tokenizer_is_open() { return tok_stream != nullptr; }

void tokenizer_close() {
  if (tok_stream != nullptr) fioshare_file_close(tok_stream);
  tok_stream = nullptr;
  token_pending = false;
  last_read.valid = false;
  plain_token.valid = false;
  free_saved_states();
}

int get_next_token(sUInt type) {
  if (tok_stream == nullptr) {
    set_end_of_input();
    return 0;
  }
  if (token_pending) {
    if (token.status == kTokenPresent) token_pending = false;
  } else {
    read_token();
  }
  return class_result(type);
}

int preview_next_token(sUInt type) {
  if (tok_stream == nullptr) {
    set_end_of_input();
    return 0;
  }
  if (!token_pending) {
    read_token();
    token_pending = true;
  }
  return class_result(type);
}

int get_next_token_text(const char16_t* text) {
  get_next_token(ST_DONTCARE);
  if (token.status != kTokenPresent) return 0;
  return wstr_equal_nocase(std::u16string_view(token.tokenbuf, token.length), std::u16string_view(text));
}

void push_token_state() {
  if (tok_stream == nullptr) return;
  if (lost_states != 0 || (saved_count == saved_capacity && !grow_saved_states())) {
    ++lost_states;
    states_failed = true;
    return;
  }
  sSavedState& state = saved_states[saved_count++];
  state.pending = token_pending;
  if (token_pending) {
    state.position = last_read.start_position;
    state.line = last_read.start_line;
  } else {
    state.position = tok_stream->position;
    state.line = token.line;
  }
}

void pop_token_state() {
  if (lost_states != 0) {
    --lost_states;
    return;
  }
  if (saved_count == 0 || tok_stream == nullptr) return;
  const sSavedState state = saved_states[--saved_count];
  tok_stream->position = state.position;
  token.line = state.line;
  token_pending = false;
  if (state.pending) {
    read_token();
    token_pending = true;
  }
}

void drop_token_state() {
  if (lost_states != 0) {
    --lost_states;
    return;
  }
  if (saved_count != 0) --saved_count;
}

int tokenizer_state_lost() { return states_failed ? 1 : 0; }

const char16_t* token_text_in_place() {
  // The token in the record is the one last read (a read again from the
  // same point keeps it), and it was read as a plain word.
  if (tok_stream == nullptr || !plain_token.valid || token.status != kTokenPresent || !last_read.valid ||
      tok_stream->body == nullptr) {
    return nullptr;
  }
  sByte* const at = tok_stream->body + plain_token.start;
  if (reinterpret_cast<std::uintptr_t>(at) % alignof(char16_t) != 0) return nullptr;
  // The blank behind the word becomes its terminator. A zero unit is a
  // blank to every later reading, so the text reads as before: the same
  // tokens on the same lines.
  tok_stream->body[plain_token.end] = 0;
  tok_stream->body[plain_token.end + 1] = 0;
  return reinterpret_cast<const char16_t*>(at);
}

sByte* tokenizer_detach_text() {
  if (tok_stream == nullptr) return nullptr;
  sByte* body = tok_stream->body;
  tok_stream->body = nullptr;
  tok_stream->body_size = 0;
  tok_stream->capacity = 0;
  tok_stream->position = 0;
  last_read.valid = false;
  plain_token.valid = false;
  return body;
}

sUInt get_error_position() { return error_position; }
