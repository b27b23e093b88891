#include "app/convert.h"

#include "app/app_state.h"
#include "app/paths.h"
#include "bnf/bnf_registry.h"
#include "bnf/tokenizer.h"
#include "common/report.h"
#include "container/fioshare.h"
#include "shape/binary_writer.h"
#include "shape/shape_tree.h"
#include "shape/text_writer.h"

namespace {

constexpr const char16_t* kInvalidFilename = u"Invalid filename specified";
constexpr const char16_t* kFailedToLoad = u"Failed to load file %s\n";
constexpr const char16_t* kNoGrammar = u"No BNF file loaded for this file type or type version";
constexpr const char16_t* kReadError = u"Error reading Kaldo token file: %s\n%s\nLine/offset: %u\n";
constexpr const char16_t* kProgress = u"\nConverting %s to %s%s file %s ...\n";
constexpr const char16_t* kNoExtension = u"Warning: No file extension specified\n\nSave operation will continue..";
constexpr const char16_t* kCannotWrite = u"Could not write to file %s";
constexpr const char16_t* kLiteralsWithoutBinary =
    u"Not all literals in BNF definition file have binary forms defined";
constexpr const char16_t* kWriteError = u"Error while writing file %s\n%s";

// Body header bytes: the file type and version select the grammar, the form
// byte tells text ("t") from binary ("b").
constexpr sUInt kBodyTypeByte = 5;
constexpr sUInt kBodyVersionByte = 6;
constexpr sUInt kBodyFormByte = 7;
constexpr sByte kBinaryForm = 'b';

}  // namespace

int load_token_file(const char16_t* name) {
  sByte header[kBodyHeaderBytes];
  if (!peek_token_file(name, header)) return 0;
  sBNFTable* table = find_bnf_table(header[kBodyTypeByte], header[kBodyVersionByte]);
  if (table == nullptr) {
    print_error(kNoGrammar);
    return 0;
  }
  sUInt comp_mark = 0;
  sShapeFile* file = read_token_file(name, table, &comp_mark);
  if (file == nullptr) {
    print_error(kReadError, name, u"", get_error_position());
    return 0;
  }
  app_state.current_bnf = table;
  app_state.loaded_file = file;
  app_state.source_form = file->header[kBodyFormByte] == kBinaryForm ? 1 : 0;
  return 1;
}

int save_token_file(const char16_t* name, int to_binary, int compress) {
  sShapeFile* file = app_state.loaded_file;
  if (file == nullptr) return 0;
  // Writing starts at the first node that carries text of its own: a root
  // that is only an array hands over its first block.
  sShapeItemNode* first = file->first;
  while (first != nullptr && first->child != nullptr && first->child->text == nullptr) first = first->child;

  if (path_find_ext(name) == nullptr) print_message(kNoExtension);

  sUInt mark = compress ? FIO_COMP_ZLIB : FIO_COMP_NONE;
  last_error_code = 0;
  int ok = first != nullptr && (to_binary ? write_binary_file(name, app_state.current_bnf, file, first, mark)
                                          : write_text_file(name, file, first, mark));
  if (ok) return 1;
  if (last_error_code == kErrorCannotWrite) {
    print_error(kCannotWrite, name);
  } else if (last_error_code == kErrorLiteralsWithoutBinary) {
    print_error(kLiteralsWithoutBinary);
  } else {
    print_error(kWriteError, name, u"");
  }
  return 0;
}

int convert_file() {
  if (app_state.name_refused) {
    print_error(kInvalidFilename);
    return 0;
  }
  if (app_state.output_name[0] != 0 &&
      !make_output_name(app_state.output_name, kPathCapacity, path_base_name(app_state.source_name))) {
    print_error(kInvalidFilename);
    return 0;
  }
  if (!load_token_file(app_state.source_name)) {
    print_error(kFailedToLoad, app_state.source_name);
    return 0;
  }
  int compress = 0;
  switch (app_state.compress_option) {
    case kCompressOn:
      compress = 1;
      break;
    case kCompressOff:
      compress = 0;
      break;
    default:  // only binary output is compressed unless asked otherwise
      compress = app_state.source_form == 0;
      break;
  }
  print_message(kProgress, app_state.source_name, compress ? u"compressed " : u"",
                app_state.source_form == 1 ? u"text" : u"binary", app_state.output_name);
  if (app_state.output_name[0] == 0) return 1;  // checked only
  return save_token_file(app_state.output_name, app_state.source_form == 0, compress);
}
