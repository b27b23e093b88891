// Writing a shape item tree as a JSON document (UTF-8, no byte-order mark,
// no container header, never compressed).
//
// The document is an object of two members:
//   "header"   {"format": F, "type": T, "version": V, "carried": "16 hex digits"}
//              F, T and V are the body header's bytes, each a string of one
//              character when it is printable ASCII other than " and \, else
//              a number 0-255; "carried" its last 8 bytes
//   "content"  the top-level items, in order
// An item is one of
//   block      {"token": "Mesh", "name": "body", "content": [ items ]}
//              ("name" only when the block has one)
//   array      [ items ]  (the iterations of an array, one after the other)
//   sint, uint a JSON integer;  float a JSON number with the fewest digits
//              that read back as the same single-precision value, or "nan",
//              "-nan", "inf", "-inf"
//   dword, byte  a string of the text form's hexadecimal ("0000002a", "ff")
//   string, grammar word, token value  a JSON string of its text
// Repetitions and optional parts leave nothing of their own. The layout is
// fixed: two spaces per depth, one item per line, numbers in an array several
// to a line. The output is streamed; failures return 0.
#pragma once

#include "common/types.h"

struct sConversion;
struct sFioShareFile;
struct sShapeFile;
struct sShapeItemNode;

// Parents nested in each other that the writer follows; deeper trees are
// refused rather than risking the machine stack.
inline constexpr sUInt kMaxJsonNesting = 2048;

// The document into an open write stream (made with fioshare_omit_header):
// every item from `first` on as the content. The caller closes it.
int write_json_stream(sConversion& conv, sFioShareFile* stream, const sShapeFile* file, const sShapeItemNode* first);
int write_json_file(sConversion& conv, const char16_t* path, const sShapeFile* file, const sShapeItemNode* first);
