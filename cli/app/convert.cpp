#include "app/convert.h"

#include "app/app_state.h"
#include "app/messages.h"
#include "app/paths.h"
#include "container/fioshare.h"
#include "engine/definitions.h"
#include "engine/messages.h"
#include "engine/token_io.h"
#include "shape/conversion.h"

namespace {

bool save_token_file(sConversion& conv, const sLoadedSource& loaded, const char16_t* name, bool compress) {
  if (path_find_ext(name) == nullptr) print_message(kMsgNoExtension);
  if (save_to_file(conv, loaded, name, !loaded.binary_source, compress ? FIO_COMP_ZLIB : FIO_COMP_NONE)) return true;
  if (conv.last_error_code == kErrorCannotWrite) {
    print_error(kMsgCannotWrite, name);
  } else {
    print_error(kMsgWriteError, name, u"");
  }
  return false;
}

}  // namespace

int convert_file(sAppState& app, const sDefinitions& defs, const sReporter& rep) {
  if (app.name_refused) {
    print_error(kMsgInvalidFilename);
    return 0;
  }
  char16_t base[kPathCapacity];
  if (app.output_name[0] != 0 &&
      !make_output_name(app.output_name, kPathCapacity, path_base_name(app.source_name, base))) {
    print_error(kMsgInvalidFilename);
    return 0;
  }
  sConversion conv(defs.tokens);
  conv.rep = rep;
  sLoadedSource loaded;
  const sLoadStatus status = load_source_file(conv, defs, app.source_name, loaded);
  if (status != sLoadStatus::kLoaded) {
    if (status == sLoadStatus::kNoGrammar) print_error(kMsgNoGrammar);
    if (status == sLoadStatus::kReadFailed) print_error(kMsgReadError, app.source_name, u"", conv.error_position);
    print_error(kMsgFailedToLoad, app.source_name);
    return 0;
  }
  bool compress = false;
  switch (app.compress_option) {
    case kCompressOn:
      compress = true;
      break;
    case kCompressOff:
      compress = false;
      break;
    default:  // only binary output is compressed unless asked otherwise
      compress = !loaded.binary_source;
      break;
  }
  print_message(kMsgProgress, app.source_name, compress ? u"compressed " : u"",
                loaded.binary_source ? u"text" : u"binary", app.output_name);
  if (app.output_name[0] == 0) return 1;  // checked only
  return save_token_file(conv, loaded, app.output_name, compress) ? 1 : 0;
}
