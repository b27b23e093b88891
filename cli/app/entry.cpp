#include "app/entry.h"

#include <cstdint>

#include "app/app_state.h"
#include "app/batch.h"
#include "app/cmdline.h"
#include "app/console_sink.h"
#include "app/convert.h"
#include "app/diagnostics.h"
#include "app/dump.h"
#include "app/messages.h"
#include "app/startup.h"
#include "engine/definitions.h"
#include "platform/console.h"

#ifndef VEXLOR_VERSION
#define VEXLOR_VERSION "0"
#endif

namespace {

constexpr char16_t kLongOptions[] =
    u"\n\nLong options:\n"
    u"  --help            print this text\n"
    u"  --version         print the program's name and version\n"
    u"  --batch           every plain item is a source (/o: then names no file, e.g. /o:out/.sb)\n"
    u"  --jobs=N          convert N sources at a time (implies --batch; default: one per core)\n"
    u"  --files-from=FILE read source names from FILE, one per line, - for standard input\n"
    u"                    (implies --batch)\n"
    u"  --quiet           leave out the progress lines of sources converted without a fault\n"
    u"  --depfile=FILE    write a Make rule per output naming its source and every definition\n"
    u"                    file it depends on\n"
    u"  --dump            show the block structure of each binary source, without its grammar\n"
    u"  --to=FORM         write the output as text, binary or json (default: a text or JSON\n"
    u"                    source becomes binary, a binary becomes text)\n"
    u"  --errors=msvc     diagnoses on standard error as FILE(LINE,COLUMN): rather than\n"
    u"                    FILE:LINE:COLUMN: (--errors=gnu)\n"
    u"A source named - is read from standard input; /o:- writes to standard output.\n";
constexpr char16_t kMsgJsonNotCompressed[] = u"JSON output is never compressed: /c with --to=json\n";
constexpr char16_t kMsgDepfileNeedsOutput[] = u"--depfile needs an output file (/o:)\n";

}  // namespace

int vexlor_main(int argc, char** argv) {
  console::set_arguments(argc, argv);
  sAppState app{};
  const sUInt items = cmdline_parse(reinterpret_cast<std::uintptr_t>(&app), on_cmdline_item);
  // Not even the program's name was read: the line was too long to read.
  app.line_too_long = items == 0 && !console::command_line().empty();

  if (app.help) {
    print_error(u"%s", kUsageText);
    print_error(u"%s", kLongOptions);
    return 0;
  }
  if (app.version) {
    print_message(u"vexlor %S\n", VEXLOR_VERSION);
    return 0;
  }
  if (!app.option_error.empty()) {
    print_error(u"%s\n", app.option_error.c_str());
    return 1;
  }
  if (app.output_form == kOutputJson && app.compress_option == kCompressOn) {
    print_error(kMsgJsonNotCompressed);
    return 1;
  }
  // Standard output carries the data: every message goes to standard error.
  if (std::u16string_view(app.output_name) == kStandardStream) send_messages_to_stderr();
  set_diagnosis_style(app.errors_msvc ? DiagnosisStyle::kMsvc : DiagnosisStyle::kGnu);
  if (app.dump) {
    if (app.sources.empty() || app.line_too_long) {
      print_error(u"%s", kUsageText);
      return 1;
    }
    return run_dump(app);
  }

  sReporter rep = program_reporter();
  sDefinitions defs;
  if (!app_startup(rep, defs)) fatal_exit(nullptr);

  if (app.line_too_long) {
    print_error(u"%s", kUsageText);
    return 1;
  }
  if (!app.check_only && app.output_name[0] == 0 && !app.name_refused) {
    print_error(u"%s", kUsageText);
    return 0;
  }
  if (!app.depfile.empty() && (app.output_name[0] == 0 || std::u16string_view(app.output_name) == kStandardStream)) {
    print_error(kMsgDepfileNeedsOutput);
    return 1;
  }
  if (app.batch) return run_batch(app, defs, rep);
  return convert_file(app, defs, rep) ? 0 : 1;
}
