// --dump: the block structure of binary token files, without their grammar.
#pragma once

struct sAppState;

// Dumps every source of the command line to the console; the token names
// come from the definitions when they load, and are left out when they do
// not. Returns the exit status: 1 when a source could not be opened or
// holds no binary body.
int run_dump(const sAppState& app);
