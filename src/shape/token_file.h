// Loading a token file into a shape item tree, through one conversion.
#pragma once

#include <string>

#include "common/types.h"

struct sBNFTable;
struct sConversion;
struct sFioShareFile;
struct sReadDiagnosis;
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
// Why a token file did not open (read from `path`, or from the `size`
// bytes at `data` when `path` is null): the fault of its container or of its
// body header in words. For a JSON document whose header does not read, the
// place and what was expected there go into `json` instead, and the words
// are empty; they are empty too when the file opens after all.
std::u16string explain_unopened(const char16_t* path, const sByte* data, sUInt size, sReadDiagnosis& json);
