// Matching a text body against a grammar.
#pragma once

#include "common/types.h"

struct sBNFTable;
struct sBNFSubtoken;
struct sShapeItemNode;

int match_text(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor);
// As match_text; every value node it links already carries the number of its
// text and every token value the id its name has. Sets *tokens_resolved to 0
// when some token value matched on the way named no definition: the tree
// then needs shape_tree_normalise_matched, which reports it; else the tree
// is complete as it is.
int match_text_resolving(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor,
                         int* tokens_resolved);
