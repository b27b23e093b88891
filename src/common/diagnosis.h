// Where a definition file stops loading and what is wrong there.
//
// A loader that fails fills one of these at the first fault it meets; the
// program prints it as a diagnosis line ("FILE:LINE:COLUMN: error: WHAT").
#pragma once

#include <string>

#include "common/types.h"

struct sFileDiagnosis {
  std::u16string file;     // as the loader opened it
  sUInt line = 0;          // from 1; 0: the fault concerns the whole file
  sUInt column = 0;        // characters from 1; 0: no column applies
  std::u16string what;     // what is wrong, in the file's own terms

  bool given() const { return !what.empty(); }
};

// Fills `into` (when given) unless it holds a diagnosis already: the first
// fault is the one the user needs, later ones follow from it.
void diagnose(sFileDiagnosis* into, const std::u16string& file, sUInt line, sUInt column, std::u16string what);

// What a loader says of a file it could not open, or could not keep for
// want of memory.
inline constexpr char16_t kCannotOpen[] = u"cannot be opened";
inline constexpr char16_t kOutOfMemory[] = u"memory ran out while it was read";

// `text` in single quotes, cut after 40 characters with "...".
std::u16string quoted(std::u16string_view text);
// Bytes of a file in single quotes, those no printable ASCII character as
// \xHH: 'TORV', '\x00\x01'.
std::u16string quoted_bytes(const sByte* bytes, sUInt count);

// The column (from 1) of `at` in a line of an 8-bit definition file read
// byte by byte into units from `line_start`: UTF-8 continuation bytes begin
// no character.
sUInt widened_column(const char16_t* line_start, const char16_t* at);
