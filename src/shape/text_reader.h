// Matching a text body against a grammar.
#pragma once

#include "common/types.h"

struct sBNFTable;
struct sBNFSubtoken;
struct sShapeItemNode;

int match_text(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor);
