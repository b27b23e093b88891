// Reading a JSON document (see json_writer.h for its form) against a
// grammar: the document's header, and its content through the grammar
// walker, so that a JSON source is checked as a text or a binary is.
//
// The reader works on the UTF-8 bytes in place and never reads past them.
// Strict JSON: items are separated by single commas, strings hold no raw
// control characters and only valid UTF-8, numbers have JSON's syntax; true,
// false and null match nothing. Texts may hold no U+0000.
#pragma once

#include "common/types.h"

struct sBNFSubtoken;
struct sConversion;
struct sReadDiagnosis;
struct sShapeArena;
struct sShapeItemNode;

// Whether `bytes` hold a JSON document: the first byte that is not a blank
// (space, tab, line feed, carriage return) is "{", after a UTF-8
// byte-order mark if there is one.
bool is_json_document(const sByte* bytes, sUInt size);

// The document's header as the 16 bytes of a body header ("TORV", format,
// type, version, form "t", the carried bytes); 0 when the document does not
// begin with a well-formed header.
int read_json_header(const sByte* bytes, sUInt size, sByte* header);
// Why the header does not read: the place of the first item that does not
// fit, what the header has there, and what it must have. Leaves `diagnosis`
// as it is when the header reads.
void diagnose_json_header(const sByte* bytes, sUInt size, sReadDiagnosis& diagnosis);

// Where a read stopped: the furthest point any attempt reached, as a byte
// offset and as line and column (both from 1; the column counts characters).
struct sJsonPlace {
  sUInt offset;
  sUInt line;
  sUInt column;
};

// Matches the document's content against `entry`, linking the nodes after
// the cursor (made in `arena`) exactly as the text reader would for the
// same document. Sets *tokens_resolved as match_text does, and *stop to the
// furthest point the read reached (on success too).
int match_json(sConversion& conv, sShapeArena* arena, const sByte* bytes, sUInt size, const sBNFSubtoken* entry,
               sShapeItemNode** cursor, int* tokens_resolved, sJsonPlace* stop);
