#include "tables/config.h"

#include <cstdio>
#include <cstdlib>

#include "common/diagnosis.h"
#include "common/file_handle.h"
#include "common/file_names.h"
#include "common/line_scan.h"
#include "common/memory.h"
#include "common/report.h"
#include "common/strings.h"

namespace {

// Report lines of the checks made here (module TokUtil).
enum : sUInt {
  kLineOpen = 412,
  kLineTable = 418,
  kLineList = 421,
  kLineEntry = 447,
  kLineTextExt = 450,
  kLineBinaryExt = 454,
  kLineDesc = 457,
  kLineAdd = 460,
};

// A pattern holds at most this many units; a longer one makes its line
// ignored, like a missing one.
constexpr sUInt kMaxPatternUnits = 31;

void free_entry(sExtEntry* entry) {
  free_string(entry->text_ext);
  free_string(entry->binary_ext);
  free_string(entry->desc);
  std::free(entry);
}

// The rest of a FILE_EXT line: text pattern, binary pattern ("" for none)
// and the description up to the line feed. Returns 0 only when memory ran
// out; a line without both patterns is skipped.
int add_ext_entry(sReporter& rep, sExtTable* ext_table, char16_t** lstr) {
  char16_t text_ext[kLineCapacity];
  char16_t binary_ext[kLineCapacity];
  const sUInt text_len = line_get_word(lstr, kNoStop, text_ext);
  const sUInt binary_len = line_get_word(lstr, kNoStop, binary_ext);
  if (text_len == 0 || binary_len == 0 || text_len > kMaxPatternUnits || binary_len > kMaxPatternUnits) return 1;
  line_skip_space(lstr);

  sExtEntry* entry = nullptr;
  if (!VX_CHECK(rep, kModuleTokUtil, kLineEntry,
                (entry = static_cast<sExtEntry*>(vexlor_mem_alloc_fixed(sizeof(sExtEntry)))) != nullptr,
                "(entry = (sExtEntry *) vexlor_mem_alloc_fixed(sizeof (sExtEntry))) != 0")) {
    return 0;
  }
  *entry = sExtEntry{};
  const bool no_binary = wstr_equal(binary_ext, u"\"\"");
  if (!VX_CHECK(rep, kModuleTokUtil, kLineTextExt, (entry->text_ext = alloc_string(text_ext, 0u)) != nullptr,
                "(entry->text_ext = alloc_string (text_ext, 0u)) != 0") ||
      (!no_binary &&
       !VX_CHECK(rep, kModuleTokUtil, kLineBinaryExt, (entry->binary_ext = alloc_string(binary_ext, 0u)) != nullptr,
                 "(entry->binary_ext = alloc_string (binary_ext, 0u)) != 0")) ||
      !VX_CHECK(rep, kModuleTokUtil, kLineDesc, (entry->desc = alloc_string_nl(*lstr, 0u)) != nullptr,
                "(entry->desc = alloc_string_nl (lstr, 0u)) != 0") ||
      !VX_CHECK(rep, kModuleTokUtil, kLineAdd, list_add_last(ext_table->entries, entry) != nullptr,
                "list_add_last (ext_table->entries, entry) != 0")) {
    free_entry(entry);
    return 0;
  }
  return 1;
}

// COREIDS and APPIDS: the next word, when there is one, replaces the name.
void set_file_name(char16_t** lstr, char16_t* target) {
  char16_t word[kLineCapacity];
  if (line_get_word(lstr, kNoStop, word) != 0) wstr_copy(target, word, kPathCapacity);
}

int read_config(sReporter& rep, sConfig& config, std::FILE* f) {
  sExtTable*& ext_table = config.ext_table;
  if (!VX_CHECK(rep, kModuleTokUtil, kLineTable,
                (ext_table = static_cast<sExtTable*>(vexlor_mem_alloc_fixed(sizeof(sExtTable)))) != nullptr,
                "(ext_table = (sExtTable *) vexlor_mem_alloc_fixed(sizeof (sExtTable))) != 0")) {
    return 0;
  }
  ext_table->entries = nullptr;
  if (!VX_CHECK(rep, kModuleTokUtil, kLineList, (ext_table->entries = list_create()) != nullptr,
                "(ext_table->entries = list_create ()) != 0")) {
    tokutil_free_config(config);
    return 0;
  }
  char16_t line[kLineCapacity];
  char16_t* lstr = line;
  while (line_read(f, line, &lstr)) {
    if (line_strcmp(&lstr, u"FILE_EXT")) {
      if (!add_ext_entry(rep, ext_table, &lstr)) {
        tokutil_free_config(config);
        return 0;
      }
    } else if (line_strcmp(&lstr, u"APPIDS")) {
      set_file_name(&lstr, config.appids_file);
    } else if (line_strcmp(&lstr, u"COREIDS")) {
      set_file_name(&lstr, config.coreids_file);
    }
  }
  return 1;
}

}  // namespace

int tokutil_load_config(sReporter& rep, sConfig& config, const char16_t* path, sFileDiagnosis* diagnosis) {
  if (config.ext_table != nullptr) return 0;
  set_report_definition_file(rep, path);
  FilePtr f(open_file_utf16(rep, path, "rb"));
  int ok = VX_CHECK_FILE(rep, kModuleTokUtil, kLineOpen, f != nullptr, "(f = fopen (fname, \"rb\")) != 0") &&
           read_config(rep, config, f.get());
  if (!ok) diagnose(diagnosis, path, 0, 0, f == nullptr ? kCannotOpen : kOutOfMemory);
  set_report_definition_file(rep, nullptr);
  return ok;
}

void tokutil_free_config(sConfig& config) {
  sExtTable*& ext_table = config.ext_table;
  if (ext_table == nullptr) return;
  if (sListNode* head = ext_table->entries; head != nullptr) {
    for (sListNode* node = head->next; node != head; node = node->next) {
      free_entry(static_cast<sExtEntry*>(node->data));
    }
    list_destroy(head);
  }
  std::free(ext_table);
  ext_table = nullptr;
}
