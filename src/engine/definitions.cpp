#include "engine/definitions.h"

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

// The name in the current directory when a file of that name can be opened
// there, else the program directory followed by the name.
void find_definition_file(sReporter& rep, const char16_t* name, const char16_t* program_dir, char16_t* out) {
  if (file_exists(rep, name)) {
    wstr_copy(out, name, kJoinedCapacity);
  } else {
    format_text_n(out, kJoinedCapacity, u"%s%s", program_dir, name);
  }
}

}  // namespace

sDefinitions::~sDefinitions() { free_definitions(*this); }

void free_definitions(sDefinitions& defs) {
  tokutil_free_stoken_table(defs.tokens);
  free_bnf_table_list(defs.grammars);
  tokutil_free_config(defs.config);
  defs.files.clear();
}

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

bool load_definitions(sReporter& rep, const sDefinitionSearch& search, sDefinitions& defs,
                      sDefinitionsFailure& failure) {
  failure = sDefinitionsFailure{};
  const std::u16string dir = definitions_program_dir(search.program_dir);
  const char16_t* program_dir = dir.c_str();

  char16_t config_path[kJoinedCapacity];
  find_definition_file(rep, kConfigName, program_dir, config_path);
  if (!tokutil_load_config(rep, defs.config, config_path)) {
    failure.stage = sDefinitionsFailure::kConfig;
    failure.file = config_path;
    return false;
  }
  defs.files.emplace_back(config_path);

  char16_t sidn_path[kJoinedCapacity];
  find_definition_file(rep, kSidnName, program_dir, sidn_path);
  sSIDNTable* sidn = nullptr;
  if (!tokutil_load_sidn_table(rep, sidn, sidn_path)) {
    failure.stage = sDefinitionsFailure::kSidn;
    failure.file = sidn_path;
    free_definitions(defs);
    return false;
  }
  defs.files.emplace_back(sidn_path);

  // Token definition files are named relative to the working directory; when
  // the configuration came from the program directory, names missing from
  // the working directory are looked for beside it as well.
  const bool config_beside_program = !wstr_equal(config_path, kConfigName);
  const bool tokens_loaded =
      tokutil_load_stoken_table(rep, defs.tokens, sidn, defs.config.coreids_file, defs.config.appids_file,
                                config_beside_program ? program_dir : nullptr, &defs.files) != 0;
  // Token ids are resolved now; the range names are not needed any more.
  tokutil_free_sidn_table(sidn);
  if (!tokens_loaded) {
    failure.stage = sDefinitionsFailure::kTokenDefinitions;
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
  const std::vector<std::u16string> dirs{std::u16string(), dir};
  if (load_bnf_files(rep, defs.tokens, defs.grammars, dirs, search.notice, search.notice_user, &defs.files) == 0) {
    failure.stage = sDefinitionsFailure::kNoGrammars;
    free_definitions(defs);
    return false;
  }
  return true;
}
