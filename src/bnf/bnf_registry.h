// The registry of loaded grammars, by file type and type version.
#pragma once

#include "bnf/bnf_model.h"
#include "common/list.h"

// Payloads: sBNFTable, the last accepted first. Created by start-up.
extern sListNode* bnf_table_list;

// Loads every "*.bnf" of the current directory, then of the program's
// directory; returns the number of grammars accepted.
sUInt load_bnf_files();
sBNFTable* find_bnf_table(sByte type, sByte version);
