// The conversion driver and output naming.
//
// convert_file runs once per process after start-up: it completes the output
// name, loads the source into app_state.loaded_file (kept until shutdown),
// prints the progress line and writes the other form. Every failure prints
// the one console message the user sees and yields 0.
#pragma once

#include "common/types.h"

int convert_file();

// Opens and reads the source; sets current_bnf, source_form and loaded_file.
int load_token_file(const char16_t* name);
// Writes loaded_file as a binary body (to_binary) or a text body, compressed
// with zlib when `compress` is set.
int save_token_file(const char16_t* name, int to_binary, int compress);
