// The text tokenizer shared by every text reader (grammar files and text
// token files). There is exactly one in the process: its state and the
// current token `token` are process-wide, and only one text is tokenized at
// a time (callers check tokenizer_is_open first).
#pragma once

#include "common/types.h"

struct sFioShareFile;

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
  sUInt type;
  sUInt status;  // kTokenPresent or kTokenEndOfInput
  sUInt line;
  sUInt continued;
  sUInt length;  // units in tokenbuf
};

// The current token. Callers read it and may copy it; only the tokenizer
// writes it (reading a token again after a restore relies on the record
// still holding what the tokenizer left there).
extern sTokenRecord token;
// The line (text) or byte offset (binary) where a reader last was.
extern sUInt error_position;

int tokenizer_open_file(const char16_t* path);
// Starts on an open stream at its position, after a byte-order mark unless
// the stream's header was UTF-16; the tokenizer then owns the stream and
// tokenizer_close closes it. On failure the caller keeps it.
int tokenizer_open_stream(sFioShareFile* stream);
int tokenizer_is_open();
void tokenizer_close();

int get_next_token(sUInt type);
int preview_next_token(sUInt type);
int get_next_token_text(const char16_t* text);

// Saved states nest strictly: every push is matched by one pop (restore) or
// drop (forget). Saving copies no token text.
void push_token_state();
void pop_token_state();
void drop_token_state();
// True once a push found no memory: from then on every read reports end of
// input until tokenizer_close, and a reader must not take what it read for a
// complete text.
int tokenizer_state_lost();

sUInt get_error_position();

// The current token's units where they stand in the text, terminated there,
// when that leaves every later reading of the text as it was: a word or
// number read whole from contiguous units with a blank behind it (the blank
// becomes the terminator). Null for any other token; the token is then only
// in `token`. The text stays valid while the stream's body does.
const char16_t* token_text_in_place();
// Takes the body of the stream being read (the caller frees it with
// std::free) and leaves the tokenizer at the end of its input. Texts from
// token_text_in_place live in that body.
sByte* tokenizer_detach_text();
