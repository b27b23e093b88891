// What the command line asked for.
#pragma once

#include "common/types.h"

struct sAppState {
  char16_t source_name[kPathCapacity];
  char16_t output_name[kPathCapacity];
  int check_only;
  sUInt compress_option;  // 0 default rule, 1 compress (/c), 2 do not (/u)
  // A command-line name did not fit its 259 units: refused, never cut.
  int name_refused;
};

inline constexpr sUInt kCompressDefault = 0;
inline constexpr sUInt kCompressOn = 1;
inline constexpr sUInt kCompressOff = 2;
