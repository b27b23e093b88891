// SIDN definitions: names for the upper 16 bits of token id ranges.
#pragma once

#include "common/list.h"
#include "common/types.h"

struct sSIDNEntry {
  char16_t* str;
  sUInt value;
};

struct sSIDNTable {
  sListNode* entries;  // payloads: sSIDNEntry, last definition first
};

extern sSIDNTable* sidn_table;

int tokutil_load_sidn_table(const char16_t* path);
void tokutil_free_sidn_table();
int tokutil_get_sidn_value(const char16_t* name, sUInt* value);
