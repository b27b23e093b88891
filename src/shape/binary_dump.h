// The structure of a token file's binary body, shown without its grammar:
// for looking into a damaged file, or one whose grammar is missing.
//
// A binary body does not mark where a block's content ends and a nested
// block begins, so the dump guesses as a reader without the grammar would:
// a nested block is an id the token table knows (without a table: an id
// that looks like one), followed by a size that fits what encloses it and a
// name that fits the block. Everything else is content, shown as bytes with
// a guess at the 32-bit values they hold. Nothing here prints: every line
// goes to the caller's sink.
#pragma once

#include <string_view>

#include "common/types.h"

struct sFioShareFile;
struct sTokenTable;

// Receives each line of the dump, UTF-8, without its line end.
using DumpLineFn = void (*)(void* user, std::string_view line);

struct sDumpSink {
  DumpLineFn line = nullptr;
  void* user = nullptr;
};

// Dumps the open read stream `stream` (container header, body header and
// the blocks of a binary body); `tokens` may be null (ids are then shown
// without names). False when the body holds no binary body header (the
// lines say what it holds instead).
bool dump_token_stream(const sFioShareFile& stream, const sTokenTable* tokens, const sDumpSink& sink);
// The same for a whole token file held in memory; false also when it is no
// token file at all.
bool dump_token_bytes(const sByte* data, sUInt size, const sTokenTable* tokens, const sDumpSink& sink);
