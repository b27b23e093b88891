#include "app/entry.h"

#include <cstdint>

#include "app/app_state.h"
#include "app/cmdline.h"
#include "app/convert.h"
#include "app/messages.h"
#include "app/startup.h"
#include "engine/definitions.h"
#include "platform/console.h"

int vexlor_main(int argc, char** argv) {
  console::set_arguments(argc, argv);
  sAppState app{};
  cmdline_parse(reinterpret_cast<std::uintptr_t>(&app), on_cmdline_item);

  sReporter rep = program_reporter();
  sDefinitions defs;
  if (!app_startup(rep, defs)) fatal_exit(nullptr);

  if (!app.check_only && app.output_name[0] == 0 && !app.name_refused) {
    print_error(u"%s", kUsageText);
    return 0;
  }
  return convert_file(app, defs, rep) ? 0 : 1;
}
