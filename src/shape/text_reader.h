// Matching a text body against a grammar.
#pragma once

#include "common/types.h"

struct sBNFSubtoken;
struct sConversion;
struct sShapeArena;
struct sShapeItemNode;
struct sTokenizer;

// Matches `entry` against the text `tz` is open on, linking the nodes after
// the cursor (made in `arena`, or on the heap when it is null). Every value
// node it links carries the number of its text and every token value the
// id its name has. Sets *tokens_resolved to 0 when some token value matched
// on the way named no definition: the tree then needs
// shape_tree_normalise_matched, which reports it; else the tree is
// complete as it is. Leaves conv.error_position at the line of the last
// token looked at.
int match_text(sConversion& conv, sTokenizer& tz, sShapeArena* arena, const sBNFSubtoken* entry,
               sShapeItemNode** cursor, int* tokens_resolved);
