// The token definition table: token names and their 32-bit ids.
//
// One module-wide table, loaded at start-up from the core and application
// token definition files and released at shutdown. Lookups take the first
// match in table order; names compare letters A-Z without case.
#pragma once

#include "common/types.h"

struct sShapeTokenDef {
  char16_t* name;
  sUInt id;
};

// Array of entries ended by an entry whose name is null; null when unloaded.
// Lookups use an index built by the loader; a table set here by other means
// is searched entry by entry.
extern sShapeTokenDef* stoken_table;

// Reads the core file and then, when named, the application file, in a
// counting pass and a filling pass. Returns 1 on success; on failure nothing
// stays loaded. The SIDN table must be loaded meanwhile.
int tokutil_load_stoken_table(const char16_t* core_file, const char16_t* app_file);
// As tokutil_load_stoken_table, but a relative name (of a named file or of an
// include) that cannot be opened in the working directory is looked for in
// `fallback_dir` (a directory ending in its separator) as well. The working
// directory always comes first, so this only finds files that would
// otherwise be missing: a program started from elsewhere still finds the
// token definitions that lie beside its configuration file.
int tokutil_load_stoken_table_from(const char16_t* core_file, const char16_t* app_file,
                                   const char16_t* fallback_dir);
// Reads one token definition file and its includes for one pass: with
// `entry` null (pass 0) it counts the definitions into *id_count; with
// `entry` given (pass 1, id_count null) it fills entries from *entry on,
// never at or beyond `entry_end`, and moves *entry past them. `kaldo_id` is
// the running id, `prefix_str` a 256-unit buffer. Includes are opened
// relative to the working directory, at most 8 levels deep (depth 0 is a
// named file); a named file with its includes may open at most 4096 files
// and read at most 4,194,304 lines. Returns 1 on success, 0 on failure,
// reported except for the depth limit, which the including level reports.
int load_table_pass(const char16_t* fname, sShapeTokenDef** entry, sUInt* kaldo_id, char16_t* prefix_str,
                    sUInt* id_count, sUInt depth, const sShapeTokenDef* entry_end = nullptr,
                    const char16_t* fallback_dir = nullptr);
void tokutil_free_stoken_table();
const sShapeTokenDef* tokutil_find_stoken_by_name(const char16_t* name);
const sShapeTokenDef* tokutil_find_stoken_by_id(sUInt id);
