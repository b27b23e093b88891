#include "bnf/bnf_registry.h"

#include <string>
#include <vector>

#include "app/cmdline.h"
#include "bnf/bnf_parser.h"
#include "bnf/tokenizer.h"
#include "common/format.h"
#include "common/report.h"
#include "common/strings.h"
#include "common/text_convert.h"
#include "platform/platform.h"

sListNode* bnf_table_list = nullptr;

namespace {

constexpr const char16_t* kLoadFailedMessage = u"Error loading BNF definition file:\n%s\n%s\nLine: %u\n";
constexpr const char16_t* kDuplicateMessage =
    u"Warning: BNF definitions for a file type found in two\ndifferently named files!\n\n"
    u"Skipping BNF file:\n%s\nFile type: '%c' (0x%02x) version: '%c' (0x%02x) already defined in:\n%s";

template <typename Match>
sBNFTable* find_registered(Match match) {
  if (bnf_table_list == nullptr) return nullptr;
  for (sListNode* node = bnf_table_list->next; node != bnf_table_list; node = node->next) {
    auto* table = static_cast<sBNFTable*>(node->data);
    if (match(table)) return table;
  }
  return nullptr;
}

// A table's name is cut to its field; the file name is compared the same way,
// so that a long name found in both directories is still loaded once.
bool is_loaded(const char16_t* file_name) {
  char16_t key[kBNFNameUnits];
  wstr_copy(key, file_name, kBNFNameUnits);
  return find_registered([&](sBNFTable* t) { return wstr_equal_nocase(t->name, key); }) != nullptr;
}

sUInt load_directory(const char16_t* prefix) {
  sUInt count = 0;
  std::string dir = wstr_to_ansi(prefix);
  std::vector<std::string> names = platform::find_bnf_files(dir);
  for (const std::string& name : names) {
    char16_t file_name[kPathCapacity];
    wstr_copy(file_name, ansi_to_wstr(name.c_str()), kPathCapacity);
    char16_t path[kPathCapacity];
    bool fits = format_text_n(path, kPathCapacity, u"%s%s", prefix, file_name) < kPathCapacity;
    if (is_loaded(file_name)) continue;
    sBNFTable* table = nullptr;
    if (fits) {
      table = parse_bnf_file(path);
    } else {
      error_position = 0;  // a path that does not fit is a file that cannot be opened
    }
    if (table == nullptr) {
      print_load_message(kLoadFailedMessage, path, u"", get_error_position());
      continue;
    }
    sBNFTable* known = find_registered([&](sBNFTable* t) {
      return t->file_type == table->file_type && t->file_type_ver == table->file_type_ver;
    });
    if (known != nullptr) {
      print_load_message(kDuplicateMessage, table->name, table->file_type, table->file_type, table->file_type_ver,
                         table->file_type_ver, known->name);
      destroy_bnf_table(table);
      continue;
    }
    if (!VX_CHECK(kModuleBnfParse, 640, list_add(bnf_table_list, table) != nullptr,
                  "list_add (bnf_table_list, bnft) != 0")) {
      destroy_bnf_table(table);
      continue;
    }
    ++count;
  }
  return count;
}

}  // namespace

sUInt load_bnf_files() {
  if (bnf_table_list == nullptr) {
    bnf_table_list = list_create();
    if (!VX_CHECK(kModuleBnfParse, 620, bnf_table_list != nullptr, "(bnf_table_list = list_create ()) != 0"))
      return 0;
  }
  char16_t prefix[kPathCapacity] = {0};
  sUInt count = load_directory(prefix);
  if (!get_module_dir(prefix, kPathCapacity)) prefix[0] = 0;
  count += load_directory(prefix);
  return count;
}

sBNFTable* find_bnf_table(sByte type, sByte version) {
  return find_registered([&](sBNFTable* t) { return t->file_type == type && t->file_type_ver == version; });
}

void free_bnf_table_list() {
  if (bnf_table_list == nullptr) return;
  for (sListNode* node = bnf_table_list->next; node != bnf_table_list; node = node->next) {
    destroy_bnf_table(static_cast<sBNFTable*>(node->data));
  }
  list_destroy(bnf_table_list);
  bnf_table_list = nullptr;
}
