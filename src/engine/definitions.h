// Loaded definitions: the configuration, the token definition table and the
// grammar registry, loaded once and read-only from then on, so that any
// number of conversions on any number of threads may share them.
#pragma once

#include <string>
#include <vector>

#include "bnf/bnf_registry.h"
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
};

// Where the definitions are looked for: the configuration and the SIDN file
// in the current directory, else in `program_dir`; the token definition
// files as the configuration names them (a relative name missing from the
// current directory is looked for in `program_dir` when the configuration
// came from there); then every grammar file of the current directory and
// of `program_dir`. `program_dir` is empty (the current directory only) or
// ends in its separator. When it holds no configuration file and the
// directory "../share/vexlor/" relative to it does (an installed program),
// that directory takes its place in all of these rules.
struct sDefinitionSearch {
  std::u16string program_dir;
  GrammarNoticeFn notice = nullptr;  // grammar files passed over
  void* notice_user = nullptr;
};

// Fills `defs` (which must be empty); on failure everything loaded is
// released again and `failure` says why.
bool load_definitions(sReporter& rep, const sDefinitionSearch& search, sDefinitions& defs,
                      sDefinitionsFailure& failure);
// Releases everything `defs` holds; it is empty again.
void free_definitions(sDefinitions& defs);

// The directory that stands for the program's directory in the search
// rules (see sDefinitionSearch).
std::u16string definitions_program_dir(const std::u16string& program_dir);
