#include "engine/definitions.h"

#include <cstddef>
#include <set>

#include "common/format.h"
#include "common/report.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "platform/platform.h"
#include "tables/sidn.h"

namespace {

constexpr char16_t kConfigName[] = u"Vexlor.cfg";
constexpr char16_t kSidnName[] = u"sidn.txt";

// The program directory may take the whole 259 units; the joined name then
// does not fit a path buffer, and the open refuses it like a missing file.
constexpr sUInt kJoinedCapacity = 2 * kPathCapacity;

// The definition file `name` in the first directory that has it; the last
// directory is taken without asking.
sUInt find_definition_file(sReporter& rep, const std::vector<std::u16string>& dirs, const char16_t* name,
                           char16_t* out) {
  sUInt at = static_cast<sUInt>(dirs.size()) - 1;
  for (sUInt i = 0; i + 1 < dirs.size(); ++i) {
    format_text_n(out, kJoinedCapacity, u"%s%s", dirs[i].c_str(), name);
    if (file_exists(rep, out)) {
      at = i;
      break;
    }
  }
  format_text_n(out, kJoinedCapacity, u"%s%s", dirs[at].c_str(), name);
  return at;
}

}  // namespace

sDefinitions::~sDefinitions() { free_definitions(*this); }

void free_definitions(sDefinitions& defs) {
  tokutil_free_stoken_table(defs.tokens);
  free_bnf_table_list(defs.grammars);
  tokutil_free_config(defs.config);
  defs.files.clear();
  defs.depends_on.clear();
}

namespace {

std::u16string definitions_program_dir(const std::u16string& program_dir) {
  if (program_dir.empty()) return program_dir;
  // Probed without a sink: looking is not opening, and a name the file
  // system cannot take is refused when it is opened.
  sReporter quiet;
  std::u16string beside = program_dir + kConfigName;
  if (file_exists(quiet, beside.c_str())) return program_dir;
  const char16_t sep = platform::path_separator();
  std::u16string shared = program_dir;
  shared += u"..";
  shared += sep;
  shared += u"share";
  shared += sep;
  shared += u"vexlor";
  shared += sep;
  // Only a directory that has the definitions stands in: without them,
  // every message still names the program's own directory.
  std::u16string shared_config = shared + kConfigName;
  return file_exists(quiet, shared_config.c_str()) ? shared : program_dir;
}

}  // namespace

std::vector<std::u16string> program_search_dirs(const std::u16string& program_dir) {
  return {std::u16string(), definitions_program_dir(program_dir)};
}

bool load_definitions(sReporter& rep, const sDefinitionSearch& search, sDefinitions& defs,
                      sDefinitionsFailure& failure) {
  failure = sDefinitionsFailure{};
  if (search.dirs.empty()) {
    failure.stage = sDefinitionsFailure::kConfig;
    failure.file = kConfigName;
    diagnose(&failure.diagnosis, kConfigName, 0, 0, kCannotOpen);
    return false;
  }
  char16_t config_path[kJoinedCapacity];
  const sUInt config_dir = find_definition_file(rep, search.dirs, kConfigName, config_path);
  if (!tokutil_load_config(rep, defs.config, config_path, &failure.diagnosis)) {
    failure.stage = sDefinitionsFailure::kConfig;
    failure.file = config_path;
    return false;
  }
  defs.files.emplace_back(config_path);

  char16_t sidn_path[kJoinedCapacity];
  find_definition_file(rep, search.dirs, kSidnName, sidn_path);
  sSIDNTable* sidn = nullptr;
  if (!tokutil_load_sidn_table(rep, sidn, sidn_path, &failure.diagnosis)) {
    failure.stage = sDefinitionsFailure::kSidn;
    failure.file = sidn_path;
    free_definitions(defs);
    return false;
  }
  defs.files.emplace_back(sidn_path);

  // Token definition files are named relative to the first directory; when
  // the configuration came from a later one, names missing from the first
  // are looked for beside the configuration as well.
  const char16_t* fallback = config_dir > 0 ? search.dirs[config_dir].c_str() : nullptr;
  const bool tokens_loaded =
      tokutil_load_stoken_table(rep, defs.tokens, sidn, defs.config.coreids_file, defs.config.appids_file,
                                search.dirs[0].c_str(), fallback, &defs.files, &failure.diagnosis) != 0;
  // Token ids are resolved now; the range names are not needed any more.
  tokutil_free_sidn_table(sidn);
  if (!tokens_loaded) {
    failure.stage = sDefinitionsFailure::kTokenDefinitions;
    if (defs.config.coreids_file[0] == 0) {
      diagnose(&failure.diagnosis, config_path, 0, 0, u"no COREIDS line names the core token definition file");
    }
    failure.file = defs.config.coreids_file;
    failure.second_file = defs.config.appids_file;
    free_definitions(defs);
    return false;
  }

  if (!VX_CHECK(rep, kModuleMain, 1828, (defs.grammars = list_create()) != nullptr,
                "(bnf_table_list = list_create ()) != 0")) {
    failure.stage = sDefinitionsFailure::kInternal;
    free_definitions(defs);
    return false;
  }
  const std::size_t definition_files = defs.files.size();
  std::vector<std::u16string> grammar_files;
  if (load_bnf_files(rep, defs.tokens, defs.grammars, search.dirs, search.notice, search.notice_user, &defs.files,
                     &grammar_files) == 0) {
    failure.stage = sDefinitionsFailure::kNoGrammars;
    // Grammars that failed have their diagnoses in their notices; none at
    // all is told here.
    if (grammar_files.empty()) {
      diagnose(&failure.diagnosis, u"*.bnf", 0, 0,
               u"no grammar file is in any directory the definitions are looked for in");
    }
    free_definitions(defs);
    return false;
  }
  // A file included twice, or a directory searched twice, is listed once.
  std::set<std::u16string> seen;
  auto depend_on = [&](const std::u16string& file) {
    if (seen.insert(file).second) defs.depends_on.push_back(file);
  };
  for (std::size_t i = 0; i < definition_files; ++i) depend_on(defs.files[i]);
  for (const std::u16string& file : grammar_files) depend_on(file);
  return true;
}
