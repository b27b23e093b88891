// What the command line asked for.
#pragma once

#include <string>
#include <vector>

#include "common/types.h"

struct sAppState {
  char16_t source_name[kPathCapacity];
  char16_t output_name[kPathCapacity];
  int check_only;
  sUInt compress_option;  // 0 default rule, 1 compress (/c), 2 do not (/u)
  // A command-line name did not fit its 259 units: refused, never cut.
  int name_refused;

  // Every plain item in order: the sources of a batch.
  std::vector<std::u16string> sources;
  // Long options.
  bool help = false;
  bool version = false;
  bool batch = false;
  bool quiet = false;
  bool errors_msvc = false;  // --errors=msvc: diagnoses in the form Visual Studio reads
  bool dump = false;  // --dump: show the block structure of each source
  sUInt output_form = 0;  // --to=: kOutputDefault, or the form named
  unsigned jobs = 0;  // 0: as many as the machine has cores
  std::u16string depfile;
  std::u16string files_from;
  // The first long option that was unknown or had a bad value, with the
  // message that says so.
  std::u16string option_error;
  // The command line was too long to be read at all.
  bool line_too_long = false;
};

inline constexpr sUInt kOutputDefault = 0;  // a text or JSON source becomes binary, a binary text
inline constexpr sUInt kOutputText = 1;
inline constexpr sUInt kOutputBinary = 2;
inline constexpr sUInt kOutputJson = 3;

inline constexpr sUInt kCompressDefault = 0;
inline constexpr sUInt kCompressOn = 1;
inline constexpr sUInt kCompressOff = 2;
