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

struct sFileDiagnosis;
struct sReporter;

// Loads `path` into `table`, which must be null; on failure it stays null
// and `diagnosis` (when given) says where and why.
int tokutil_load_sidn_table(sReporter& rep, sSIDNTable*& table, const char16_t* path,
                            sFileDiagnosis* diagnosis = nullptr);
void tokutil_free_sidn_table(sSIDNTable*& table);
int tokutil_get_sidn_value(const sSIDNTable* table, const char16_t* name, sUInt* value);
