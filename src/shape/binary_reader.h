// Matching a binary body against a grammar.
//
// No read ever leaves the body: a value, string, token id or block size that
// would reach past its end does not match.
#pragma once

#include "common/types.h"

struct sBNFSubtoken;
struct sConversion;
struct sShapeArena;
struct sShapeItemNode;

inline constexpr sUInt kNoBlockEnd = 0xFFFFFFFFu;

// Matches `entry` against the `size` bytes of `body` from *position on
// (behind the body header), linking the nodes after the cursor (made in
// `arena`, or on the heap when it is null), and leaves *position behind
// what matched (where it started when nothing did). Every number node it
// links carries its text, and every token value the name of its id. Sets
// *tokens_resolved to 0 when some token id read on the way has no
// definition: the tree then needs shape_tree_normalise_matched, which
// reports it; else the tree is complete as it is.
int match_binary(sConversion& conv, sShapeArena* arena, const sByte* body, sUInt size, sUInt* position,
                 const sBNFSubtoken* entry, sShapeItemNode** cursor, int* tokens_resolved);
