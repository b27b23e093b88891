#include "app/convert.h"

#include "app/app_state.h"
#include "app/messages.h"
#include "app/paths.h"
#include "bnf/bnf_registry.h"
#include "container/fioshare.h"
#include "engine/definitions.h"
#include "shape/binary_writer.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/text_writer.h"
#include "shape/token_file.h"

namespace {

constexpr char16_t kInvalidFilename[] = u"Invalid filename specified";
constexpr char16_t kFailedToLoad[] = u"Failed to load file %s\n";
constexpr char16_t kNoGrammar[] = u"No BNF file loaded for this file type or type version";
constexpr char16_t kReadError[] = u"Error reading Kaldo token file: %s\n%s\nLine/offset: %u\n";
constexpr char16_t kProgress[] = u"\nConverting %s to %s%s file %s ...\n";
constexpr char16_t kNoExtension[] = u"Warning: No file extension specified\n\nSave operation will continue..";
constexpr char16_t kCannotWrite[] = u"Could not write to file %s";
constexpr char16_t kWriteError[] = u"Error while writing file %s\n%s";

// A loaded source: its grammar and its tree, released with the conversion.
struct sLoaded {
  sBNFTable* table = nullptr;
  sShapeFile* file = nullptr;
  bool binary_source = false;
  ~sLoaded() { free_shape_file(file); }
};

// Opens and reads the source.
bool load_token_file(sConversion& conv, const sDefinitions& defs, const char16_t* name, sLoaded& loaded) {
  sByte header[kBodyHeaderBytes];
  if (!peek_token_file(conv, name, header)) return false;
  sBNFTable* table = find_bnf_table(defs.grammars, header[kBodyTypeByte], header[kBodyVersionByte]);
  if (table == nullptr) {
    print_error(kNoGrammar);
    return false;
  }
  sShapeFile* file = read_token_file(conv, name, table, nullptr);
  if (file == nullptr) {
    print_error(kReadError, name, u"", conv.error_position);
    return false;
  }
  loaded.table = table;
  loaded.file = file;
  loaded.binary_source = file->header[kBodyFormByte] == kBinaryForm;
  return true;
}

// Writes the loaded tree as a binary body (to_binary) or a text body,
// compressed with zlib when `compress` is set.
bool save_token_file(sConversion& conv, const sLoaded& loaded, const char16_t* name, bool to_binary, bool compress) {
  sShapeFile* file = loaded.file;
  // Writing starts at the first node that carries text of its own: a root
  // that is only an array hands over its first block.
  sShapeItemNode* first = file->first;
  while (first != nullptr && first->child != nullptr && first->child->text == nullptr) first = first->child;

  if (path_find_ext(name) == nullptr) print_message(kNoExtension);

  sUInt mark = compress ? FIO_COMP_ZLIB : FIO_COMP_NONE;
  conv.last_error_code = 0;
  bool ok = first != nullptr && (to_binary ? write_binary_file(conv, name, loaded.table, file, first, mark)
                                           : write_text_file(conv, name, file, first, mark));
  if (ok) return true;
  if (conv.last_error_code == kErrorCannotWrite) {
    print_error(kCannotWrite, name);
  } else {
    print_error(kWriteError, name, u"");
  }
  return false;
}

}  // namespace

int convert_file(sAppState& app, const sDefinitions& defs, const sReporter& rep) {
  if (app.name_refused) {
    print_error(kInvalidFilename);
    return 0;
  }
  char16_t base[kPathCapacity];
  if (app.output_name[0] != 0 &&
      !make_output_name(app.output_name, kPathCapacity, path_base_name(app.source_name, base))) {
    print_error(kInvalidFilename);
    return 0;
  }
  sConversion conv(defs.tokens);
  conv.rep = rep;
  sLoaded loaded;
  if (!load_token_file(conv, defs, app.source_name, loaded)) {
    print_error(kFailedToLoad, app.source_name);
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
  print_message(kProgress, app.source_name, compress ? u"compressed " : u"",
                loaded.binary_source ? u"text" : u"binary", app.output_name);
  if (app.output_name[0] == 0) return 1;  // checked only
  return save_token_file(conv, loaded, app.output_name, !loaded.binary_source, compress) ? 1 : 0;
}
