#include "app/dump.h"

#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/cmdline.h"
#include "app/console_sink.h"
#include "app/diagnostics.h"
#include "app/messages.h"
#include "container/fioshare.h"
#include "engine/definitions.h"
#include "engine/messages.h"
#include "shape/binary_dump.h"

namespace {

void print_dump_line(void*, std::string_view line) {
  std::string bytes(line);
  bytes += '\n';
  emit_console_bytes(bytes.data(), bytes.size());
}

}  // namespace

int run_dump(const sAppState& app) {
  sReporter rep = program_reporter();
  // Looked for as a conversion looks for them, but quietly: a dump needs
  // only the token names, and shows ids without them.
  char16_t program_dir[kPathCapacity] = {0};
  if (!get_module_dir(rep, program_dir, kPathCapacity)) program_dir[0] = 0;
  sDefinitionSearch search;
  search.dirs = program_search_dirs(program_dir);
  sDefinitions defs;
  sDefinitionsFailure failure;
  sReporter quiet;
  const bool loaded = load_definitions(quiet, search, defs, failure);

  int status = 0;
  const sDumpSink sink{print_dump_line, nullptr};
  for (const std::u16string& source : app.sources) {
    if (app.sources.size() > 1) print_message(u"%s:\n", source.c_str());
    sContainerFault fault;
    sFioShareFile* stream = fioshare_file_open(rep, source.c_str(), FIO_READ, FIO_COMP_NONE, 0, &fault);
    if (stream == nullptr) {
      print_error(kMsgFailedToLoad, source.c_str());
      // Why the container did not open (nothing more for a refused name).
      if (fault.kind != sContainerFaultKind::kNone) {
        sFileDiagnosis why;
        diagnose(&why, source, 0, 0, describe_container_fault(fault));
        print_diagnosis(why);
      }
      status = 1;
      continue;
    }
    if (!dump_token_stream(*stream, loaded ? &defs.tokens : nullptr, sink)) status = 1;
    fioshare_file_close(stream);
  }
  return status;
}
