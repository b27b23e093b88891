// The configuration file: token definition file names and the extension table.
#pragma once

#include "common/list.h"
#include "common/types.h"

struct sExtEntry {
  char16_t* text_ext;
  char16_t* binary_ext;  // null when the kind has no binary pattern
  char16_t* desc;
};

struct sExtTable {
  sListNode* entries;  // payloads: sExtEntry, in file order
};

struct sFileDiagnosis;
struct sReporter;

// What the configuration file says.
struct sConfig {
  sExtTable* ext_table = nullptr;  // owned; null when not loaded
  char16_t coreids_file[kPathCapacity] = {};
  char16_t appids_file[kPathCapacity] = {};
};

// Fails (0) when `config` holds a loaded file already; a file that cannot
// be read is described in `diagnosis` (when given).
int tokutil_load_config(sReporter& rep, sConfig& config, const char16_t* path, sFileDiagnosis* diagnosis = nullptr);
void tokutil_free_config(sConfig& config);
