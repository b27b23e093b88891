// The text tokenizer of every text reader (grammar files and text token
// files). A tokenizer reads one text at a time (callers check
// tokenizer_is_open first); each grammar load and each conversion has one of
// its own, so tokenizers on different threads never meet. It is large (the
// longest token twice over): keep it on the heap.
#pragma once

#include "common/types.h"

struct sFioShareFile;
struct sReporter;

enum sTokenClass : sUInt {
  ST_DONTCARE = 0,
  ST_WORD = 1,
  ST_NUMBER = 2,
  ST_STRING = 3,
  ST_OPEN = 4,
  ST_CLOSE = 5,
  ST_BAR = 6,
  ST_NEWLINE = 7,
};

// A token or a joined string holds at most this many units.
inline constexpr sUInt kTokenMaxUnits = 65535;

inline constexpr sUInt kTokenPresent = 0;
inline constexpr sUInt kTokenEndOfInput = 2;

struct sTokenRecord {
  char16_t tokenbuf[kTokenMaxUnits + 1];  // zero-terminated
  sUInt type = ST_DONTCARE;
  sUInt status = kTokenEndOfInput;  // kTokenPresent or kTokenEndOfInput
  sUInt line = 0;
  sUInt continued = 0;
  sUInt length = 0;  // units in tokenbuf
  // Byte offset in the stream's body where the token's first unit stands
  // (for the end of input, the end of the body); see tokenizer_column.
  sUInt start = 0;
};

// A saved reading point. When a previewed token was pending, the point is
// where that token's reading began: restoring reads it again, which costs one
// token on a failed attempt instead of a copy of the token on every attempt.
struct sSavedTokenState {
  sUInt position;
  sUInt line;
  bool pending;
};

// The last token read: where it began and what it left. A backtracking
// reader reads the same token again after every failed attempt; while the
// record still holds that token, reading it again is only a jump.
struct sLastTokenRead {
  bool valid;
  sUInt start_position;
  sUInt start_line;
  sUInt end_position;
  sUInt end_line;
};

// Where the current token stands in the text when it may be terminated in
// place: its units, contiguous and whole, from `start` to `end`, and a blank
// at `end` (set by the quick word reading, cleared by every other reading).
struct sPlainTokenPlace {
  bool valid;
  sUInt start;
  sUInt end;
};

struct sTokenizer {
  // The current token. Callers read it and may copy it; only the tokenizer
  // writes it (reading a token again after a restore relies on the record
  // still holding what the tokenizer left there).
  sTokenRecord token;
  // The line (text) or byte offset (binary) where a reader last was.
  sUInt error_position = 0;

  sFioShareFile* stream = nullptr;
  bool pending = false;
  sSavedTokenState* saved = nullptr;
  sUInt saved_count = 0;
  sUInt saved_capacity = 0;
  // Pushes that found no memory. Their pops and drops are absorbed here, and
  // the tokenizer reports end of input until it is closed, so that a reader
  // fails instead of resuming from a point it never saved.
  sUInt lost_states = 0;
  bool states_failed = false;
  sLastTokenRead last_read{};
  sPlainTokenPlace plain_token{};
  // Units of a joined string while its pieces are read into tokenbuf.
  char16_t join_buffer[kTokenMaxUnits + 1];

  // The buffers are left as they are (a fresh tokenizer costs no clearing of
  // its 256 KB); the token reads as the end of input.
  sTokenizer();
  sTokenizer(const sTokenizer&) = delete;
  sTokenizer& operator=(const sTokenizer&) = delete;
  ~sTokenizer();
};

// Failed opens are reported through `rep`.
int tokenizer_open_file(sTokenizer& tz, sReporter& rep, const char16_t* path);
// Starts on an open stream at its position, after a byte-order mark unless
// the stream's header was UTF-16; the tokenizer then owns the stream and
// tokenizer_close closes it. On failure the caller keeps it.
int tokenizer_open_stream(sTokenizer& tz, sFioShareFile* stream);
int tokenizer_is_open(const sTokenizer& tz);
void tokenizer_close(sTokenizer& tz);

int get_next_token(sTokenizer& tz, sUInt type);
int preview_next_token(sTokenizer& tz, sUInt type);
int get_next_token_text(sTokenizer& tz, const char16_t* text);

// Saved states nest strictly: every push is matched by one pop (restore) or
// drop (forget). Saving copies no token text.
void push_token_state(sTokenizer& tz);
void pop_token_state(sTokenizer& tz);
void drop_token_state(sTokenizer& tz);
// True once a push found no memory: from then on every read reports end of
// input until tokenizer_close, and a reader must not take what it read for a
// complete text.
int tokenizer_state_lost(const sTokenizer& tz);

sUInt get_error_position(const sTokenizer& tz);

// The column (characters from 1, a TAB counting one) of the unit at byte
// offset `start` of the open text, for diagnoses; 0 when nothing is open.
sUInt tokenizer_column(const sTokenizer& tz, sUInt start);

// The current token's units where they stand in the text, terminated there,
// when that leaves every later reading of the text as it was: a word or
// number read whole from contiguous units with a blank behind it (the blank
// becomes the terminator). Null for any other token; the token is then only
// in `token`. The text stays valid while the stream's body does.
const char16_t* token_text_in_place(sTokenizer& tz);
// Takes the body of the stream being read (the caller frees it with
// std::free) and leaves the tokenizer at the end of its input. Texts from
// token_text_in_place live in that body.
sByte* tokenizer_detach_text(sTokenizer& tz);
