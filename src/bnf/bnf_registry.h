// The registry of loaded grammars, by file type and type version.
#pragma once

#include "bnf/bnf_model.h"
#include "common/list.h"

// Payloads: sBNFTable, the last accepted first. Created by start-up.
extern sListNode* bnf_table_list;

// Loads every "*.bnf" of the current directory, then of the program's
// directory; returns the number of grammars accepted. A file name already
// loaded is skipped; a file that fails, or that repeats the type and version
// of a registered grammar, is reported on the console and skipped. Creates
// the list when start-up has not.
sUInt load_bnf_files();
// The first registered table for the type and version bytes (exact).
sBNFTable* find_bnf_table(sByte type, sByte version);
// Destroys every registered table and the list (shutdown).
void free_bnf_table_list();
