// Start-up loads every definition a conversion needs.
//
// The definitions are looked for in the current directory and in the
// program's directory (see load_definitions). A failed start-up prints its
// message; the caller then ends the process.
#pragma once

struct sDefinitions;
struct sReporter;

int app_startup(sReporter& rep, sDefinitions& defs);
