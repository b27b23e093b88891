// The token definition table: token names and their 32-bit ids.
//
// Loaded at start-up from the core and application token definition files;
// read-only once loaded. Lookups take the first match in table order; names
// compare letters A-Z without case.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/types.h"

struct sShapeTokenDef {
  char16_t* name;
  sUInt id;
};

struct sFileDiagnosis;
struct sReporter;
struct sSIDNTable;

// The loaded table: entries ended by an entry whose name is null, and hash
// indexes over them. Lookups use the indexes; a table whose indexes could
// not be built (memory ran short) is searched entry by entry, with the
// same results.
struct sTokenTable {
  sShapeTokenDef* entries = nullptr;  // owned; null when not loaded
  sUInt* by_name = nullptr;
  sUInt* by_id = nullptr;
  std::size_t mask = 0;
};

// Reads the core file and then, when named, the application file, in a
// counting pass and a filling pass, resolving range names through `sidn`.
// Returns 1 on success; on failure nothing stays loaded. Relative names (of
// the named files and of includes) are opened in `base_dir` (null or empty:
// the working directory; else a directory ending in its separator), includes
// at most 8 levels deep (depth 0 is a named file); a named file with its
// includes may open at most 4096 files and read at most 4,194,304 lines. A
// relative name that cannot be opened there is looked for in `fallback_dir`
// (null, or a directory ending in its separator) as well: the base directory
// always comes first, so this only finds files that would otherwise be
// missing. `opened`, when given, receives the name of
// every file opened, in order; `diagnosis`, on failure, where and why.
int tokutil_load_stoken_table(sReporter& rep, sTokenTable& table, const sSIDNTable* sidn, const char16_t* core_file,
                              const char16_t* app_file, const char16_t* base_dir = nullptr,
                              const char16_t* fallback_dir = nullptr,
                              std::vector<std::u16string>* opened = nullptr,
                              sFileDiagnosis* diagnosis = nullptr);
void tokutil_free_stoken_table(sTokenTable& table);
const sShapeTokenDef* tokutil_find_stoken_by_name(const sTokenTable& table, const char16_t* name);
const sShapeTokenDef* tokutil_find_stoken_by_id(const sTokenTable& table, sUInt id);
