// Line scanning for the 8-bit definition files (configuration, SIDN and token
// definitions).
//
// A loader owns a line buffer of kLineCapacity units and a cursor `lstr` into
// it; the operations take the cursor's address and only move it forward.
#pragma once

#include <cstdio>

#include "common/types.h"

inline constexpr sUInt kLineCapacity = 256;
// Stop unit meaning "none" for line_get_word / line_skip_word.
inline constexpr char16_t kNoStop = 0xFFFF;

// Reads one line (up to and including a line feed, at most 255 bytes), widening
// each byte by sign extension. Returns 0 when not a single byte could be read.
int line_read(std::FILE* f, char16_t* buffer, char16_t** lstr);
void line_skip_space(char16_t** lstr);
// Skips white space, then matches `keyword` as a case-sensitive prefix.
int line_strcmp(char16_t** lstr, const char16_t* keyword);
// Skips white space, copies the word up to white space, the terminator or
// `stop` into `out` (terminated) and returns its length.
sUInt line_get_word(char16_t** lstr, char16_t stop, char16_t* out);
void line_skip_word(char16_t** lstr, char16_t stop);

// Where the text line_read gave stands in the file, for diagnoses: a line
// longer than the buffer comes in several reads.
struct sLinePlace {
  sUInt line = 0;          // the physical line of the buffer, from 1
  sUInt chars_before = 0;  // characters of that line before the buffer
  // Call after each line_read into `buffer`.
  void next(const char16_t* buffer);
  // The column (from 1) of `at` in `buffer`.
  sUInt column(const char16_t* buffer, const char16_t* at) const;

 private:
  bool line_ended_ = true;
  sUInt chars_read_ = 0;
};
