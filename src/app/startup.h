// Start-up loads every definition a conversion needs; shutdown releases them.
//
// Start-up loads, in this order: the configuration file and the SIDN file
// (each from the current directory, else the program's directory), the token
// definition files the configuration names, and every grammar file into
// bnf_table_list. The SIDN table is released again once the token
// definitions are read. A failed start-up prints its message and releases
// what it loaded; the caller then ends the process without shutdown.
#pragma once

int app_startup();
// Releases the loaded token file, the token definitions, the grammars with
// their registry and the configuration. Copes with anything never loaded.
int app_shutdown();
