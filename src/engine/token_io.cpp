#include "engine/token_io.h"

#include <utility>

#include "bnf/bnf_model.h"
#include "bnf/bnf_registry.h"
#include "common/diagnosis.h"
#include "common/list.h"
#include "container/fioshare.h"
#include "engine/definitions.h"
#include "shape/binary_writer.h"
#include "shape/json_writer.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/text_writer.h"
#include "shape/token_file.h"

namespace {

void take_over(sLoadedSource& to, sLoadedSource& from) {
  to.table = std::exchange(from.table, nullptr);
  to.file = std::exchange(from.file, nullptr);
  to.binary_source = from.binary_source;
  to.json_source = from.json_source;
  to.comp_mark = from.comp_mark;
}

void set_loaded(sLoadedSource& loaded, sBNFTable* table, sShapeFile* file, sUInt comp_mark) {
  free_shape_file(loaded.file);
  loaded.table = table;
  loaded.file = file;
  loaded.json_source = file->json_source;
  loaded.binary_source = !loaded.json_source && file->header[kBodyFormByte] == kBinaryForm;
  loaded.comp_mark = comp_mark;
}

// Writing starts at the first node whose first child is no parent: a root
// that is only an array hands over its first block.
sShapeItemNode* first_written(const sShapeFile* file) {
  sShapeItemNode* first = file != nullptr ? file->first : nullptr;
  while (first != nullptr && first->child != nullptr && first->child->type == SHN_PARENT) first = first->child;
  return first;
}

// Why no grammar reads the header's type and version, with the ones the
// loaded grammars read.
std::u16string explain_no_grammar(const sDefinitions& defs, const sByte* header) {
  auto type_version = [](sByte type, sByte version) {
    return u"type " + quoted_bytes(&type, 1) + u" version " + quoted_bytes(&version, 1);
  };
  std::u16string what =
      u"no grammar is loaded for " + type_version(header[kBodyTypeByte], header[kBodyVersionByte]);
  constexpr sUInt kListed = 5;
  sUInt listed = 0;
  std::u16string loaded;
  if (defs.grammars != nullptr) {
    for (const sListNode* node = defs.grammars->next; node != defs.grammars; node = node->next, ++listed) {
      const auto* table = static_cast<const sBNFTable*>(node->data);
      if (listed == kListed) {
        loaded += u", ...";
        break;
      }
      loaded += (listed == 0 ? u"" : u", ") + type_version(table->file_type, table->file_type_ver);
    }
  }
  if (!loaded.empty()) what += u"; the grammars loaded read " + loaded;
  return what;
}

}  // namespace

sLoadedSource::sLoadedSource(sLoadedSource&& other) noexcept { take_over(*this, other); }

sLoadedSource& sLoadedSource::operator=(sLoadedSource&& other) noexcept {
  if (this != &other) {
    free_shape_file(file);
    take_over(*this, other);
  }
  return *this;
}

sLoadedSource::~sLoadedSource() { free_shape_file(file); }

sLoadStatus load_source_file(sConversion& conv, const sDefinitions& defs, const char16_t* path,
                             sLoadedSource& loaded) {
  conv.fault.clear();
  conv.diagnosis = sReadDiagnosis{};
  sByte header[kBodyHeaderBytes];
  if (!peek_token_file(conv, path, header)) return sLoadStatus::kCannotOpen;
  sBNFTable* table = find_bnf_table(defs.grammars, header[kBodyTypeByte], header[kBodyVersionByte]);
  if (table == nullptr) {
    conv.fault = explain_no_grammar(defs, header);
    return sLoadStatus::kNoGrammar;
  }
  loaded.table = table;  // the grammar in use, also when the read fails
  sUInt comp_mark = 0;
  sShapeFile* file = read_token_file(conv, path, table, &comp_mark);
  if (file == nullptr) return sLoadStatus::kReadFailed;
  set_loaded(loaded, table, file, comp_mark);
  return sLoadStatus::kLoaded;
}

sLoadStatus load_source_memory(sConversion& conv, const sDefinitions& defs, const sByte* data, sUInt size,
                               sLoadedSource& loaded) {
  conv.error_position = 0;
  conv.fault.clear();
  conv.diagnosis = sReadDiagnosis{};
  sContainerFault fault;
  sFioShareFile* stream = fioshare_open_memory(data, size, &fault);
  sByte header[kBodyHeaderBytes];
  if (stream == nullptr || !read_body_header(stream, header) || fioshare_seek(stream, 0, 0) != 0) {
    conv.fault = explain_unopened(stream, fault, conv.diagnosis);
    fioshare_file_close(stream);
    return sLoadStatus::kCannotOpen;
  }
  sBNFTable* table = find_bnf_table(defs.grammars, header[kBodyTypeByte], header[kBodyVersionByte]);
  if (table == nullptr) {
    fioshare_file_close(stream);
    conv.fault = explain_no_grammar(defs, header);
    return sLoadStatus::kNoGrammar;
  }
  loaded.table = table;
  const sUInt comp_mark = fioshare_get_comp(stream);
  sShapeFile* file = read_token_stream(conv, stream, table);
  if (file == nullptr) return sLoadStatus::kReadFailed;
  set_loaded(loaded, table, file, comp_mark);
  return sLoadStatus::kLoaded;
}

bool save_to_file(sConversion& conv, const sLoadedSource& loaded, const char16_t* path, sTokenForm form, sUInt comp) {
  conv.last_error_code = 0;
  conv.fault.clear();
  sShapeItemNode* first = first_written(loaded.file);
  if (first == nullptr) return false;
  switch (form) {
    case sTokenForm::kBinary: return write_binary_file(conv, path, loaded.table, loaded.file, first, comp) != 0;
    case sTokenForm::kText: return write_text_file(conv, path, loaded.file, first, comp) != 0;
    case sTokenForm::kJson:
      return comp == FIO_COMP_NONE && write_json_file(conv, path, loaded.file, loaded.file->first) != 0;
  }
  return false;
}

bool save_to_memory(sConversion& conv, const sLoadedSource& loaded, sTokenForm form, sUInt comp,
                    std::vector<sByte>& out) {
  conv.last_error_code = 0;
  conv.fault.clear();
  sShapeItemNode* first = first_written(loaded.file);
  if (first == nullptr || (form == sTokenForm::kJson && comp != FIO_COMP_NONE)) return false;
  sFioShareFile* stream = fioshare_file_create_ex(nullptr, FIO_WRITE, static_cast<sFioShareComp>(comp),
                                                  form == sTokenForm::kText ? 1 : 0);
  if (stream == nullptr) return false;
  bool written = false;
  switch (form) {
    case sTokenForm::kBinary: written = write_binary_stream(conv, stream, loaded.table, loaded.file, first) != 0; break;
    case sTokenForm::kText: written = write_text_stream(conv, stream, loaded.file, first) != 0; break;
    case sTokenForm::kJson:
      written = fioshare_omit_header(stream) != 0 && write_json_stream(conv, stream, loaded.file, loaded.file->first) != 0;
      break;
  }
  if (!written) {
    fioshare_file_close(stream);
    return false;
  }
  return fioshare_close_to_memory(stream, out) != 0;
}
