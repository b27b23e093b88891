#include "tables/stoken.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/diagnosis.h"
#include "common/file_handle.h"
#include "common/file_names.h"
#include "common/format.h"
#include "common/line_scan.h"
#include "common/memory.h"
#include "common/report.h"
#include "common/strings.h"
#include "tables/sidn.h"

namespace {

// Report lines of the checks made here (module TokUtil).
enum : sUInt {
  kLineFileBudget = 231,
  kLineOpen = 236,
  kLineLineBudget = 244,
  kLinePrefixParen = 256,
  kLineRangeParen = 263,
  kLineSidnValue = 267,
  kLineIdWrap = 274,
  kLineDefParen = 277,
  kLineDefComma = 281,
  kLineDefQuote = 285,
  kLineTableRoom = 291,
  kLineNameCopy = 294,
  kLineInclude = 306,
  kLineTableAlloc = 341,
  kLinePass = 352,
};

// An include chain holds the named file and at most seven nested includes.
constexpr sUInt kMaxIncludeDepth = 8;
// The depth limit stops include cycles, but not files that include the
// same file many times on every level: the work multiplies per level, so a
// few small files could keep the loader busy for ages. These bounds on the
// files opened and the lines read for one named file end such a load; real
// definition sets stay far below them.
constexpr sUInt kMaxFilesPerPass = 4096;
constexpr sUInt kMaxLinesPerPass = 1u << 22;

// What one named file's pass shares with all its includes.
struct PassState {
  sReporter& rep;
  const sSIDNTable* sidn;
  std::vector<std::u16string>* opened;
  sShapeTokenDef** entry;
  const sShapeTokenDef* entry_end;
  sUInt* kaldo_id;
  char16_t* prefix_str;
  sUInt* id_count;
  sUInt files_read;
  sUInt lines_read;
  const char16_t* base_dir;      // null or empty: the working directory
  const char16_t* fallback_dir;  // null or empty: none
  sFileDiagnosis* diagnosis;     // null: faults are not described
  // The line being read, for diagnoses: the file as opened, the line's
  // buffer and where it stands in the file.
  const std::u16string* file = nullptr;
  const char16_t* line = nullptr;
  const sLinePlace* place = nullptr;
};

// Describes a fault at `at` in the line being read; returns 0.
int fail_at(PassState& pass, const char16_t* at, std::u16string what) {
  if (pass.file != nullptr) {
    diagnose(pass.diagnosis, *pass.file, pass.place->line, pass.place->column(pass.line, at), std::move(what));
  }
  return 0;
}

bool is_relative_name(const char16_t* name) {
  if (name[0] == u'/' || name[0] == u'\\') return false;
  return !(name[0] != 0 && name[1] == u':');  // a drive letter
}

// `name` in `dir` (a relative name), or as written; `opened_as` receives
// the name opened.
std::FILE* open_in(PassState& pass, const char16_t* dir, const char16_t* fname, std::u16string& opened_as) {
  const bool joined = dir != nullptr && dir[0] != 0 && is_relative_name(fname);
  char16_t path[2 * kPathCapacity];
  if (joined && format_text_n(path, 2 * kPathCapacity, u"%s%s", dir, fname) >= 2 * kPathCapacity) return nullptr;
  const char16_t* name = joined ? path : fname;
  std::FILE* f = open_file_utf16(pass.rep, name, "r");
  if (f != nullptr) opened_as = name;
  if (f != nullptr && pass.opened != nullptr) pass.opened->emplace_back(name);
  return f;
}

// Opens `fname` (a relative name in the base directory); a relative name
// that is not there is tried in the fallback directory too.
std::FILE* open_definition(PassState& pass, const char16_t* fname, std::u16string& opened_as) {
  std::FILE* f = open_in(pass, pass.base_dir, fname, opened_as);
  if (f != nullptr) return f;
  if (pass.fallback_dir == nullptr || pass.fallback_dir[0] == 0 || !is_relative_name(fname)) {
    return f;
  }
  return open_in(pass, pass.fallback_dir, fname, opened_as);
}

// The word after a keyword must be opened by "(".
bool open_paren(PassState& pass, char16_t** lstr, sUInt line, const char16_t* keyword) {
  if (VX_CHECK_FILE(pass.rep, kModuleTokUtil, line, line_strcmp(lstr, u"("), "line_strcmp (&lstr, _TT(\"(\"))")) {
    return true;
  }
  return fail_at(pass, *lstr, std::u16string(u"expected '(' after ") + keyword) != 0;
}

int read_range_start(PassState& pass, char16_t** lstr, char16_t* temp_str) {
  if (!open_paren(pass, lstr, kLineRangeParen, u"SID_DEFINE_FIRST_ID")) return 0;
  line_skip_space(lstr);
  const char16_t* name_at = *lstr;
  line_get_word(lstr, u')', temp_str);
  sUInt value = 0;
  if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineSidnValue, tokutil_get_sidn_value(pass.sidn, temp_str, &value),
                     "tokutil_get_sidn_value (temp_str, &value)")) {
    return fail_at(pass, name_at, u"range name " + quoted(temp_str) + u" is not defined in the SIDN file");
  }
  *pass.kaldo_id = (value & 0xFFFFu) << 16;
  return 1;
}

int read_token_definition(PassState& pass, char16_t** lstr, char16_t* temp_str) {
  ++*pass.kaldo_id;
  if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineIdWrap, *pass.kaldo_id != static_cast<sUInt>(-1),
                     "*kaldo_id != (sUInt)-1")) {
    return fail_at(pass, *lstr, u"token id 0xFFFFFFFF is out of range");
  }
  if (!open_paren(pass, lstr, kLineDefParen, u"SIDDEF")) return 0;
  // The identifier before the comma only names the token in C sources.
  line_skip_word(lstr, u',');
  if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineDefComma, line_strcmp(lstr, u","), "line_strcmp (&lstr, _TT(\",\"))")) {
    return fail_at(pass, *lstr, u"expected ',' after the identifier");
  }
  char16_t* quote = *lstr;
  while (*quote != 0 && *quote != u'"') ++quote;
  if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineDefQuote, *quote == u'"', "(lstr = wcschr (lstr, L'\"')) != 0")) {
    line_skip_space(lstr);
    return fail_at(pass, *lstr, u"expected the token name in double quotes");
  }
  *lstr = quote + 1;
  line_get_word(lstr, u'"', temp_str);

  if (pass.id_count != nullptr) ++*pass.id_count;
  if (pass.entry == nullptr) return 1;
  // The counting pass sized the table; a file that changed since then must
  // not make this pass write beyond it.
  sShapeTokenDef* entry = *pass.entry;
  if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineTableRoom, entry < pass.entry_end, "*entry < entry_end")) {
    return fail_at(pass, *lstr, u"the file changed while it was read");
  }
  if (!VX_CHECK(pass.rep, kModuleTokUtil, kLineNameCopy, (entry->name = alloc_string(temp_str, 0u)) != nullptr,
                "(entry->name = alloc_string (temp_str, 0u)) != 0")) {
    return fail_at(pass, *lstr, kOutOfMemory);
  }
  entry->id = *pass.kaldo_id;
  ++*pass.entry;
  return 1;
}

int read_file(PassState& pass, const char16_t* fname, sUInt depth);

int read_include(PassState& pass, const char16_t* fname, char16_t** lstr, char16_t* temp_str, sUInt depth) {
  line_skip_space(lstr);
  const char16_t* name_at = *lstr;
  line_strcmp(lstr, u"\"");
  line_get_word(lstr, u'"', temp_str);
  // The diagnosis of a file that could not be read at all names the line
  // of its include.
  const std::u16string* file = pass.file;
  const char16_t* line = pass.line;
  const sLinePlace* place = pass.place;
  int ok = read_file(pass, temp_str, depth + 1u);
  pass.file = file;
  pass.line = line;
  pass.place = place;
  if (!ok) {
    if (depth + 1u >= kMaxIncludeDepth) {
      fail_at(pass, name_at, u"includes nested more than 8 deep");
    } else if (pass.files_read > kMaxFilesPerPass) {
      fail_at(pass, name_at, u"more than 4096 files opened through includes");
    } else {
      fail_at(pass, name_at, u"cannot open the included file " + quoted(temp_str));
    }
  }
  set_report_definition_file(pass.rep, fname);
  return VX_CHECK(pass.rep, kModuleTokUtil, kLineInclude, ok,
                  "load_table_pass (temp_str, entry, kaldo_id, prefix_str, id_count, depth + 1u)");
}

int read_line(PassState& pass, const char16_t* fname, char16_t* lstr, char16_t* temp_str, sUInt depth) {
  // "#define SIDSTR_PREFIX" stands before the declaration in a header; when
  // only part of that introduction matches, the rest of the line is read as
  // whatever it names next.
  if (line_strcmp(&lstr, u"SID_DECLARE_STR_PREFIX") ||
      (line_strcmp(&lstr, u"#define") && line_strcmp(&lstr, u"SIDSTR_PREFIX") &&
       line_strcmp(&lstr, u"SID_DECLARE_STR_PREFIX"))) {
    if (!open_paren(pass, &lstr, kLinePrefixParen, u"SID_DECLARE_STR_PREFIX")) return 0;
    line_get_word(&lstr, u')', pass.prefix_str);
    return 1;
  }
  if (line_strcmp(&lstr, u"SID_DEFINE_FIRST_ID")) return read_range_start(pass, &lstr, temp_str);
  if (line_strcmp(&lstr, u"SIDDEF")) return read_token_definition(pass, &lstr, temp_str);
  if (line_strcmp(&lstr, u"#include")) return read_include(pass, fname, &lstr, temp_str, depth);
  return 1;
}

int read_file(PassState& pass, const char16_t* fname, sUInt depth) {
  if (depth >= kMaxIncludeDepth) return 0;
  set_report_definition_file(pass.rep, fname);
  if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineFileBudget, ++pass.files_read <= kMaxFilesPerPass,
                     "++files_read <= kMaxFilesPerPass")) {
    return 0;
  }
  std::u16string opened_as;
  FilePtr f(open_definition(pass, fname, opened_as));
  if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineOpen, f != nullptr, "(f = fopen (fname, \"r\")) != 0")) {
    // A named file that cannot be opened is the fault itself; an include's
    // is described at the include.
    if (depth == 0) diagnose(pass.diagnosis, fname, 0, 0, kCannotOpen);
    return 0;
  }

  char16_t line[kLineCapacity];
  char16_t* lstr = line;
  char16_t temp_str[kLineCapacity];
  sLinePlace place;
  pass.file = &opened_as;
  pass.line = line;
  pass.place = &place;
  while (line_read(f.get(), line, &lstr)) {
    place.next(line);
    if (!VX_CHECK_FILE(pass.rep, kModuleTokUtil, kLineLineBudget, ++pass.lines_read <= kMaxLinesPerPass,
                       "++lines_read <= kMaxLinesPerPass")) {
      return fail_at(pass, lstr, u"more than 4194304 lines read through includes");
    }
    if (!read_line(pass, fname, lstr, temp_str, depth)) return 0;
  }
  return 1;
}

// Hash indexes over the loaded table. Each slot holds an entry's position
// + 1 (0: empty slot). Only the first entry of each distinct name and id is
// entered, so a hit is the same entry the walk from the front would find.
inline sUInt mix(sUInt h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

// Consistent with the lookup's comparison: letters A-Z fold, nothing else.
inline sUInt hash_name(const char16_t* name) {
  sUInt h = 2166136261u;
  for (; *name != 0; ++name) h = (h ^ wc_fold(*name)) * 16777619u;
  return mix(h);
}

void drop_index(sTokenTable& table) {
  std::free(table.by_name);
  std::free(table.by_id);
  table.by_name = nullptr;
  table.by_id = nullptr;
  table.mask = 0;
}

// Without an index (memory ran short) the lookups walk the table; the
// results are the same.
void build_index(sTokenTable& token_table) {
  drop_index(token_table);
  const sShapeTokenDef* table = token_table.entries;
  std::size_t count = 0;
  while (table[count].name != nullptr) ++count;
  std::size_t slots = 16;
  while (slots < 2 * count) slots *= 2;
  if (slots * sizeof(sUInt) > 0xFFFFFFFFu) return;
  const auto bytes = static_cast<sUInt>(slots * sizeof(sUInt));
  auto* by_name = static_cast<sUInt*>(vexlor_mem_alloc_fixed(bytes));
  auto* by_id = static_cast<sUInt*>(vexlor_mem_alloc_fixed(bytes));
  if (by_name == nullptr || by_id == nullptr) {
    std::free(by_name);
    std::free(by_id);
    return;
  }
  std::memset(by_name, 0, bytes);
  std::memset(by_id, 0, bytes);
  const std::size_t mask = slots - 1;
  for (std::size_t i = 0; i < count; ++i) {
    const sShapeTokenDef& def = table[i];
    for (std::size_t s = hash_name(def.name) & mask;; s = (s + 1) & mask) {
      if (by_name[s] == 0) {
        by_name[s] = static_cast<sUInt>(i + 1);
        break;
      }
      if (wstr_equal_nocase(table[by_name[s] - 1].name, def.name)) break;
    }
    for (std::size_t s = mix(def.id) & mask;; s = (s + 1) & mask) {
      if (by_id[s] == 0) {
        by_id[s] = static_cast<sUInt>(i + 1);
        break;
      }
      if (table[by_id[s] - 1].id == def.id) break;
    }
  }
  token_table.by_name = by_name;
  token_table.by_id = by_id;
  token_table.mask = mask;
}

}  // namespace

int tokutil_load_stoken_table(sReporter& rep, sTokenTable& token_table, const sSIDNTable* sidn,
                              const char16_t* core_file, const char16_t* app_file, const char16_t* base_dir,
                              const char16_t* fallback_dir, std::vector<std::u16string>* opened,
                              sFileDiagnosis* diagnosis) {
  sShapeTokenDef*& stoken_table = token_table.entries;
  if (stoken_table != nullptr || core_file == nullptr || core_file[0] == 0) return 0;
  const char16_t* files[2] = {core_file, (app_file != nullptr && app_file[0] != 0) ? app_file : nullptr};

  char16_t prefix_str[kLineCapacity] = {};
  sUInt id_count = 0;
  sShapeTokenDef* table = nullptr;
  const sShapeTokenDef* table_end = nullptr;
  for (sUInt load_pass = 0; load_pass < 2; ++load_pass) {
    // Both passes start from the same running id, so a definition before
    // any range start gets the same id in each.
    sUInt kaldo_id = 0;
    if (load_pass == 1) {
      const std::size_t bytes = (std::size_t{id_count} + 1u) * sizeof(sShapeTokenDef);
      if (!VX_CHECK(rep, kModuleTokUtil, kLineTableAlloc,
                    bytes <= 0xFFFFFFFFu && (stoken_table = static_cast<sShapeTokenDef*>(
                                                 vexlor_mem_alloc_fixed(static_cast<sUInt>(bytes)))) != nullptr,
                    "(stoken_table = (sShapeTokenDef *) vexlor_mem_alloc_fixed((id_count + 1u) * "
                    "sizeof (sShapeTokenDef))) != 0")) {
        diagnose(diagnosis, core_file, 0, 0, kOutOfMemory);
        return 0;
      }
      std::memset(stoken_table, 0, bytes);
      table = stoken_table;
      table_end = stoken_table + id_count;
    }
    for (const char16_t* fname : files) {
      if (fname == nullptr) continue;
      PassState pass{rep,
                     sidn,
                     load_pass == 0u ? opened : nullptr,
                     load_pass == 0u ? nullptr : &table,
                     table_end,
                     &kaldo_id,
                     prefix_str,
                     load_pass == 0u ? &id_count : nullptr,
                     0,
                     0,
                     base_dir,
                     fallback_dir,
                     diagnosis};
      int ok = read_file(pass, fname, 0u);
      set_report_definition_file(rep, nullptr);
      if (!VX_CHECK(rep, kModuleTokUtil, kLinePass, ok,
                    "load_table_pass (fname, (load_pass == 0u ? NULL : &table), &kaldo_id, prefix_str, "
                    "(load_pass == 0u ? &id_count : NULL), 0u)")) {
        tokutil_free_stoken_table(token_table);
        return 0;
      }
    }
  }
  build_index(token_table);
  return 1;
}

void tokutil_free_stoken_table(sTokenTable& table) {
  if (table.entries == nullptr) return;
  drop_index(table);
  for (sShapeTokenDef* def = table.entries; def->name != nullptr; ++def) free_string(def->name);
  std::free(table.entries);
  table.entries = nullptr;
}

const sShapeTokenDef* tokutil_find_stoken_by_name(const sTokenTable& table, const char16_t* name) {
  if (table.entries == nullptr || name == nullptr) return nullptr;
  if (table.by_name != nullptr) {
    const sUInt* slots = table.by_name;
    for (std::size_t s = hash_name(name) & table.mask; slots[s] != 0; s = (s + 1) & table.mask) {
      const sShapeTokenDef* def = table.entries + (slots[s] - 1);
      if (wstr_equal_nocase(def->name, name)) return def;
    }
    return nullptr;
  }
  for (const sShapeTokenDef* def = table.entries; def->name != nullptr; ++def) {
    if (wstr_equal_nocase(def->name, name)) return def;
  }
  return nullptr;
}

const sShapeTokenDef* tokutil_find_stoken_by_id(const sTokenTable& table, sUInt id) {
  if (table.entries == nullptr) return nullptr;
  if (table.by_id != nullptr) {
    const sUInt* slots = table.by_id;
    for (std::size_t s = mix(id) & table.mask; slots[s] != 0; s = (s + 1) & table.mask) {
      const sShapeTokenDef* def = table.entries + (slots[s] - 1);
      if (def->id == id) return def;
    }
    return nullptr;
  }
  for (const sShapeTokenDef* def = table.entries; def->name != nullptr; ++def) {
    if (def->id == id) return def;
  }
  return nullptr;
}
