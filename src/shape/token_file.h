// Loading a token file into a shape item tree, through one conversion.
#pragma once

#include <string>

#include "common/types.h"

struct sBNFTable;
struct sContainerFault;
struct sConversion;
struct sFioShareFile;
struct sReadDiagnosis;
struct sShapeFile;

// Opens `path` and reads its body header (16 bytes into `header`); the
// opened stream is kept in the conversion for the read that follows. When
// it fails, conv.fault (or conv.diagnosis, for a JSON header) says why.
int peek_token_file(sConversion& conv, const char16_t* path, sByte* header);
// Reads `path` with the grammar `table`; null on failure, with
// conv.error_position where the reader last was. `comp_mark` (when given)
// receives the container's compression mark.
sShapeFile* read_token_file(sConversion& conv, const char16_t* path, sBNFTable* table, sUInt* comp_mark);
// As read_token_file for a stream opened by the caller, positioned at the
// start of its body; the stream is closed on every path.
sShapeFile* read_token_stream(sConversion& conv, sFioShareFile* stream, sBNFTable* table);
// Why a token file did not open: the fault of its container when `stream`
// is null, else of the body header of the opened `stream` (rewound and read
// again), in words. For a JSON document whose header does not read, the
// place and what was expected there go into `json` instead, and the words
// are empty.
std::u16string explain_unopened(sFioShareFile* stream, const sContainerFault& fault, sReadDiagnosis& json);
