// The token definition table: token names and their 32-bit ids.
//
// One module-wide table, loaded at start-up from the core and application
// token definition files and released at shutdown. Lookups take the first
// match in table order; names compare letters A-Z without case.
#pragma once

#include "common/types.h"

struct sShapeTokenDef {
  char16_t* name;
  sUInt id;
};

// Array of entries ended by an entry whose name is null; null when unloaded.
extern sShapeTokenDef* stoken_table;

int tokutil_load_stoken_table(const char16_t* core_file, const char16_t* app_file);
void tokutil_free_stoken_table();
const sShapeTokenDef* tokutil_find_stoken_by_name(const char16_t* name);
const sShapeTokenDef* tokutil_find_stoken_by_id(sUInt id);
