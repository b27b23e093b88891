#include "app/startup.h"

#include "app/app_state.h"
#include "app/cmdline.h"
#include "bnf/bnf_model.h"
#include "bnf/bnf_registry.h"
#include "common/format.h"
#include "common/list.h"
#include "common/report.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "shape/shape_tree.h"
#include "tables/config.h"
#include "tables/sidn.h"
#include "tables/stoken.h"

namespace {

constexpr const char16_t* kConfigName = u"Vexlor.cfg";
constexpr const char16_t* kSidnName = u"sidn.txt";

constexpr const char16_t* kConfigFailed = u"Failed to load configuration file:\n%s\n%s";
constexpr const char16_t* kSidnFailed = u"Failed to load SIDN definitions file:\n%s\n%s";
constexpr const char16_t* kTokenDefsFailed = u"Failed to load Kaldo token definition files:\n%s\n%s\n\n%s";
constexpr const char16_t* kNoGrammars = u"No BNF files successfully loaded";

// The program directory may take the whole 259 units; the joined name then
// does not fit a path buffer, and the open refuses it like a missing file.
constexpr sUInt kJoinedCapacity = 2 * kPathCapacity;

// The name in the current directory when a file of that name can be opened
// there, else the program directory followed by the name.
void find_definition_file(const char16_t* name, const char16_t* program_dir, char16_t* out) {
  if (file_exists(name)) {
    wstr_copy(out, name, kJoinedCapacity);
  } else {
    format_text_n(out, kJoinedCapacity, u"%s%s", program_dir, name);
  }
}


}  // namespace

int app_startup() {
  app_state.current_bnf = nullptr;

  // Without a program directory the definitions are looked for in the
  // current directory only.
  char16_t program_dir[kPathCapacity] = {0};
  if (!get_module_dir(program_dir, kPathCapacity)) program_dir[0] = 0;

  char16_t config_path[kJoinedCapacity];
  find_definition_file(kConfigName, program_dir, config_path);
  if (!tokutil_load_config(config_path)) {
    print_error(kConfigFailed, config_path, u"");
    return 0;
  }

  char16_t sidn_path[kJoinedCapacity];
  find_definition_file(kSidnName, program_dir, sidn_path);
  if (!tokutil_load_sidn_table(sidn_path)) {
    print_error(kSidnFailed, sidn_path, u"");
    tokutil_free_config();
    return 0;
  }

  // Token definition files are named relative to the working directory; when
  // the configuration came from the program directory, names missing from
  // the working directory are looked for beside it as well.
  const bool config_beside_program = !wstr_equal(config_path, kConfigName);
  if (!tokutil_load_stoken_table_from(coreids_file, appids_file, config_beside_program ? program_dir : nullptr)) {
    print_error(kTokenDefsFailed, coreids_file, appids_file, u"");
    tokutil_free_config();
    tokutil_free_sidn_table();
    return 0;
  }
  // Token ids are resolved now; the range names are not needed any more.
  tokutil_free_sidn_table();

  if (!VX_CHECK(kModuleMain, 1828, (bnf_table_list = list_create()) != nullptr,
                "(bnf_table_list = list_create ()) != 0")) {
    tokutil_free_stoken_table();
    tokutil_free_config();
    return 0;
  }
  if (load_bnf_files() == 0) {
    tokutil_free_config();
    tokutil_free_stoken_table();
    print_error(kNoGrammars);
    free_bnf_table_list();
    return 0;
  }
  return 1;
}

int app_shutdown() {
  if (app_state.loaded_file != nullptr) {
    free_shape_file(app_state.loaded_file);
    app_state.loaded_file = nullptr;
  }
  app_state.current_bnf = nullptr;
  tokutil_free_stoken_table();
  free_bnf_table_list();
  tokutil_free_config();
  return 1;
}
