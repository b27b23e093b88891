// Loaded definitions: the configuration, the token definition table and the
// grammar registry, loaded once and read-only from then on, so that any
// number of conversions on any number of threads may share them.
#pragma once

#include <string>
#include <vector>

#include "bnf/bnf_registry.h"
#include "common/diagnosis.h"
#include "common/list.h"
#include "tables/config.h"
#include "tables/stoken.h"

struct sReporter;

struct sDefinitions {
  sDefinitions() = default;
  sDefinitions(const sDefinitions&) = delete;
  sDefinitions& operator=(const sDefinitions&) = delete;
  ~sDefinitions();

  sConfig config;
  sTokenTable tokens;
  sListNode* grammars = nullptr;  // payloads: sBNFTable
  // Every definition file the load read, in the order it read them: the
  // configuration, the SIDN file, the token definition files with their
  // includes, and every grammar accepted.
  std::vector<std::u16string> files;
  // Every file a change to which could change what the load gives, for
  // dependency files: `files`, and every other grammar file the scan opened
  // (one that failed, or repeated the type and version of one loaded before).
  // A grammar file passed over because one of its name was loaded from an
  // earlier directory is not opened and not listed. Each name once, in the
  // order first met, as it was opened (relative names stay relative).
  std::vector<std::u16string> depends_on;
};

// Why a load failed, for the message the program gives.
struct sDefinitionsFailure {
  enum Stage {
    kNone,
    kConfig,            // `file`: the configuration file as it was opened
    kSidn,              // `file`: the SIDN file as it was opened
    kTokenDefinitions,  // `file`, `second_file`: the core and application files
    kNoGrammars,        // no grammar file could be loaded
    kInternal,          // memory ran out before the grammars were read
  };
  Stage stage = kNone;
  std::u16string file;
  std::u16string second_file;
  // kConfig, kSidn, kTokenDefinitions: which file, where and what is wrong
  // there; kNoGrammars: that no grammar file was found at all (the grammars
  // that failed have theirs in their notices).
  sFileDiagnosis diagnosis;
};

// Where the definitions are looked for, in a list of directories (each
// empty, for the working directory, or ending in its separator): the
// configuration and the SIDN file in the first directory that has them (the
// last one is not asked: a file missing there too is reported missing
// there); the token definition files as the configuration names them,
// relative names in the first directory, and in the configuration's own
// directory when they are missing there and the configuration came from a
// later one; then every grammar file of every directory, in order.
struct sDefinitionSearch {
  std::vector<std::u16string> dirs;
  GrammarNoticeFn notice = nullptr;  // grammar files passed over
  void* notice_user = nullptr;
};

// The program's directories: the working directory, then the program's
// directory (empty when unknown), in whose place "../share/vexlor/"
// relative to it stands when it holds no configuration file and that
// directory does (an installed program).
std::vector<std::u16string> program_search_dirs(const std::u16string& program_dir);

// Fills `defs` (which must be empty); on failure everything loaded is
// released again and `failure` says why.
bool load_definitions(sReporter& rep, const sDefinitionSearch& search, sDefinitions& defs,
                      sDefinitionsFailure& failure);
// Releases everything `defs` holds; it is empty again.
void free_definitions(sDefinitions& defs);

