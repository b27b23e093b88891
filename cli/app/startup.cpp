#include "app/startup.h"

#include "app/cmdline.h"
#include "app/messages.h"
#include "bnf/bnf_registry.h"
#include "common/report.h"
#include "engine/definitions.h"

namespace {

constexpr char16_t kConfigFailed[] = u"Failed to load configuration file:\n%s\n%s";
constexpr char16_t kSidnFailed[] = u"Failed to load SIDN definitions file:\n%s\n%s";
constexpr char16_t kTokenDefsFailed[] = u"Failed to load Kaldo token definition files:\n%s\n%s\n\n%s";
constexpr char16_t kNoGrammars[] = u"No BNF files successfully loaded";
constexpr char16_t kGrammarFailed[] = u"Error loading BNF definition file:\n%s\n%s\nLine: %u\n";
constexpr char16_t kGrammarDuplicate[] =
    u"Warning: BNF definitions for a file type found in two\ndifferently named files!\n\n"
    u"Skipping BNF file:\n%s\nFile type: '%c' (0x%02x) version: '%c' (0x%02x) already defined in:\n%s";

void print_grammar_notice(void*, const sGrammarNotice& notice) {
  if (notice.kind == sGrammarNotice::kLoadFailed) {
    print_load_message(kGrammarFailed, notice.path.c_str(), u"", notice.line);
  } else {
    print_load_message(kGrammarDuplicate, notice.name.c_str(), notice.file_type, notice.file_type,
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
    case sDefinitionsFailure::kConfig: print_error(kConfigFailed, failure.file.c_str(), u""); break;
    case sDefinitionsFailure::kSidn: print_error(kSidnFailed, failure.file.c_str(), u""); break;
    case sDefinitionsFailure::kTokenDefinitions:
      print_error(kTokenDefsFailed, failure.file.c_str(), failure.second_file.c_str(), u"");
      break;
    case sDefinitionsFailure::kNoGrammars: print_error(kNoGrammars); break;
    default: break;
  }
  return 0;
}
