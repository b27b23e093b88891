#include "app/startup.h"

#include "app/cmdline.h"
#include "app/diagnostics.h"
#include "app/messages.h"
#include "bnf/bnf_registry.h"
#include "common/report.h"
#include "engine/definitions.h"
#include "engine/messages.h"

namespace {

void print_grammar_notice(void*, const sGrammarNotice& notice) {
  if (notice.kind == sGrammarNotice::kLoadFailed) {
    print_load_message(kMsgGrammarFailed, notice.path.c_str(), u"", notice.line);
    if (notice.diagnosis.given()) print_diagnosis(notice.diagnosis);
  } else {
    print_load_message(kMsgGrammarDuplicate, notice.name.c_str(), notice.file_type, notice.file_type,
                       notice.file_type_ver, notice.file_type_ver, notice.known_name.c_str());
  }
}

}  // namespace

int app_startup(sReporter& rep, sDefinitions& defs) {
  // Without a program directory the definitions are looked for in the
  // current directory only.
  char16_t program_dir[kPathCapacity] = {0};
  if (!get_module_dir(rep, program_dir, kPathCapacity)) program_dir[0] = 0;

  sDefinitionSearch search;
  search.dirs = program_search_dirs(program_dir);
  search.notice = print_grammar_notice;
  sDefinitionsFailure failure;
  if (load_definitions(rep, search, defs, failure)) return 1;
  switch (failure.stage) {
    case sDefinitionsFailure::kConfig: print_error(kMsgConfigFailed, failure.file.c_str(), u""); break;
    case sDefinitionsFailure::kSidn: print_error(kMsgSidnFailed, failure.file.c_str(), u""); break;
    case sDefinitionsFailure::kTokenDefinitions:
      print_error(kMsgTokenDefsFailed, failure.file.c_str(), failure.second_file.c_str(), u"");
      break;
    case sDefinitionsFailure::kNoGrammars: print_error(kMsgNoGrammars); break;
    default: break;
  }
  if (failure.diagnosis.given()) print_diagnosis(failure.diagnosis);
  return 0;
}
