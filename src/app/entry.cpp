#include "app/entry.h"

#include "app/app_state.h"
#include "app/cmdline.h"
#include "app/convert.h"
#include "app/startup.h"
#include "common/report.h"
#include "platform/platform.h"

int vexlor_main(int argc, char** argv) {
  platform::set_arguments(argc, argv);
  app_state.source_name[0] = 0;
  app_state.output_name[0] = 0;
  app_state.check_only = 0;
  app_state.name_refused = 0;
  cmdline_parse(0, on_cmdline_item);

  if (!app_startup()) fatal_exit(nullptr);

  if (!app_state.check_only && app_state.output_name[0] == 0 && !app_state.name_refused) {
    print_error(u"%s", kUsageText);
    app_shutdown();
    return 0;
  }
  int ok = convert_file();
  app_shutdown();
  return ok ? 0 : 1;
}
