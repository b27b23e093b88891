// The application state: what the command line asked for and what the
// conversion has loaded. Process-wide, owned by the entry module.
#pragma once

#include "common/types.h"

struct sBNFTable;
struct sShapeFile;

struct sAppState {
  char16_t source_name[kPathCapacity];
  char16_t output_name[kPathCapacity];
  int check_only;
  sUInt compress_option;  // 0 default rule, 1 compress (/c), 2 do not (/u)
  sBNFTable* current_bnf;  // not owned
  sUInt source_form;       // 0 text source, 1 binary source
  sShapeFile* loaded_file;  // owned; released by app_shutdown
  // A command-line name did not fit its 259 units: refused, never cut.
  int name_refused;
};

extern sAppState app_state;

inline constexpr sUInt kCompressDefault = 0;
inline constexpr sUInt kCompressOn = 1;
inline constexpr sUInt kCompressOff = 2;
