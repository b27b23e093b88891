// The registry of loaded grammars, by file type and type version.
#pragma once

#include <string>
#include <vector>

#include "bnf/bnf_model.h"
#include "common/diagnosis.h"
#include "common/list.h"

struct sReporter;
struct sTokenTable;

// A grammar file the load passed over, for the console message the program
// gives for it.
struct sGrammarNotice {
  enum Kind { kLoadFailed, kDuplicate };
  Kind kind;
  std::u16string path;        // kLoadFailed: the file as it was opened
  sUInt line;                 // kLoadFailed: where the parser stopped (0: not opened)
  std::u16string name;        // kDuplicate: the skipped grammar's table name
  sByte file_type;            // kDuplicate: its type and version
  sByte file_type_ver;
  std::u16string known_name;  // kDuplicate: the grammar registered before
  sFileDiagnosis diagnosis;   // kLoadFailed: where and what is wrong
};

// Called once per notice, in the order the files are met.
using GrammarNoticeFn = void (*)(void* user, const sGrammarNotice& notice);

// Loads, against the token definitions `tokens`, every "*.bnf" of each directory prefix in turn (empty: the current
// directory; else a directory ending in its separator) into `list` (payloads:
// sBNFTable, the last accepted first), creating the list when it is null.
// Returns the number of grammars accepted. A file name already loaded is
// skipped; a file that fails, or that repeats the type and version of a
// registered grammar, is handed to `notice` (when given) and skipped. `loaded`,
// when given, receives the path of every grammar accepted; `read`, the path
// of every file the load opened or tried to: accepted, failed or repeating a
// registered type and version. A file skipped for its name is never opened
// and is in neither: it cannot change what the load gives while the grammar
// of that name stays where it was found.
sUInt load_bnf_files(sReporter& rep, const sTokenTable& tokens, sListNode*& list, const std::vector<std::u16string>& dirs,
                     GrammarNoticeFn notice, void* user, std::vector<std::u16string>* loaded = nullptr,
                     std::vector<std::u16string>* read = nullptr);
// The first registered table for the type and version bytes (exact).
sBNFTable* find_bnf_table(const sListNode* list, sByte type, sByte version);
// Destroys every registered table and the list.
void free_bnf_table_list(sListNode*& list);
