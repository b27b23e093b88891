#include "bnf/bnf_registry.h"

#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "bnf/bnf_parser.h"
#include "bnf/tokenizer.h"
#include "common/format.h"
#include "common/report.h"
#include "common/strings.h"
#include "common/text_convert.h"
#include "platform/platform.h"

namespace {

template <typename Match>
sBNFTable* find_registered(const sListNode* list, Match match) {
  if (list == nullptr) return nullptr;
  for (sListNode* node = list->next; node != list; node = node->next) {
    auto* table = static_cast<sBNFTable*>(node->data);
    if (match(table)) return table;
  }
  return nullptr;
}

// A table's name is cut to its field; the file name is compared the same way,
// so that a long name found in both directories is still loaded once.
bool is_loaded(const sListNode* list, const char16_t* file_name) {
  char16_t key[kBNFNameUnits];
  wstr_copy(key, file_name, kBNFNameUnits);
  return find_registered(list, [&](sBNFTable* t) { return wstr_equal_nocase(t->name, key); }) != nullptr;
}

struct LoadPass {
  sReporter& rep;
  const sTokenTable& tokens;
  sListNode* list;
  sTokenizer& tz;
  GrammarNoticeFn notice;
  void* user;
  std::vector<std::u16string>* loaded;
  std::vector<std::u16string>* read;
};

sUInt load_directory(LoadPass& pass, const char16_t* prefix) {
  sUInt count = 0;
  char dir_buffer[kAnsiBufferBytes];
  std::string dir = wstr_to_ansi(prefix, dir_buffer);
  std::vector<std::string> names = platform::find_bnf_files(dir);
  for (const std::string& name : names) {
    char16_t wide[kWideBufferUnits];
    char16_t file_name[kPathCapacity];
    wstr_copy(file_name, ansi_to_wstr(name.c_str(), wide), kPathCapacity);
    char16_t path[kPathCapacity];
    bool fits = format_text_n(path, kPathCapacity, u"%s%s", prefix, file_name) < kPathCapacity;
    if (is_loaded(pass.list, file_name)) continue;
    // Named in full even when the path does not fit: the file was found.
    if (pass.read != nullptr) pass.read->push_back(std::u16string(prefix) + file_name);
    sBNFTable* table = nullptr;
    sFileDiagnosis diagnosis;
    if (fits) {
      table = parse_bnf_file(pass.tz, pass.rep, pass.tokens, path, &diagnosis);
    } else {
      pass.tz.error_position = 0;  // a path that does not fit is a file that cannot be opened
      diagnose(&diagnosis, std::u16string(prefix) + file_name, 0, 0, u"the path is too long to be opened");
    }
    if (table == nullptr) {
      if (pass.notice != nullptr) {
        sGrammarNotice notice{sGrammarNotice::kLoadFailed, path, get_error_position(pass.tz), {}, 0, 0, {},
                              std::move(diagnosis)};
        pass.notice(pass.user, notice);
      }
      continue;
    }
    sBNFTable* known = find_registered(pass.list, [&](sBNFTable* t) {
      return t->file_type == table->file_type && t->file_type_ver == table->file_type_ver;
    });
    if (known != nullptr) {
      if (pass.notice != nullptr) {
        sGrammarNotice notice{sGrammarNotice::kDuplicate, path, 0, table->name, table->file_type, table->file_type_ver,
                              known->name, {}};
        pass.notice(pass.user, notice);
      }
      destroy_bnf_table(table);
      continue;
    }
    if (!VX_CHECK(pass.rep, kModuleBnfParse, 640, list_add(pass.list, table) != nullptr,
                  "list_add (bnf_table_list, bnft) != 0")) {
      destroy_bnf_table(table);
      continue;
    }
    if (pass.loaded != nullptr) pass.loaded->emplace_back(path);
    ++count;
  }
  return count;
}

}  // namespace

sUInt load_bnf_files(sReporter& rep, const sTokenTable& tokens, sListNode*& list, const std::vector<std::u16string>& dirs,
                     GrammarNoticeFn notice, void* user, std::vector<std::u16string>* loaded,
                     std::vector<std::u16string>* read) {
  if (list == nullptr) {
    list = list_create();
    if (!VX_CHECK(rep, kModuleBnfParse, 620, list != nullptr, "(bnf_table_list = list_create ()) != 0")) return 0;
  }
  auto tz = std::make_unique<sTokenizer>();
  LoadPass pass{rep, tokens, list, *tz, notice, user, loaded, read};
  sUInt count = 0;
  for (const std::u16string& dir : dirs) count += load_directory(pass, dir.c_str());
  return count;
}

sBNFTable* find_bnf_table(const sListNode* list, sByte type, sByte version) {
  return find_registered(list, [&](sBNFTable* t) { return t->file_type == type && t->file_type_ver == version; });
}

void free_bnf_table_list(sListNode*& list) {
  if (list == nullptr) return;
  for (sListNode* node = list->next; node != list; node = node->next) {
    destroy_bnf_table(static_cast<sBNFTable*>(node->data));
  }
  list_destroy(list);
  list = nullptr;
}
