// Loading a token file into a shape item tree, through one conversion.
#pragma once

#include "common/types.h"

struct sBNFTable;
struct sConversion;
struct sFioShareFile;
struct sShapeFile;

// Opens `path` and reads its body header (16 bytes into `header`); the
// opened stream is kept in the conversion for the read that follows.
int peek_token_file(sConversion& conv, const char16_t* path, sByte* header);
// Reads `path` with the grammar `table`; null on failure, with
// conv.error_position where the reader last was. `comp_mark` (when given)
// receives the container's compression mark.
sShapeFile* read_token_file(sConversion& conv, const char16_t* path, sBNFTable* table, sUInt* comp_mark);
// As read_token_file for a stream opened by the caller, positioned at the
// start of its body; the stream is closed on every path.
sShapeFile* read_token_stream(sConversion& conv, sFioShareFile* stream, sBNFTable* table);
