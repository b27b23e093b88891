#include "tables/sidn.h"

#include <cstdio>
#include <cstdlib>

#include "common/diagnosis.h"
#include "common/file_handle.h"
#include "common/file_names.h"
#include "common/line_scan.h"
#include "common/memory.h"
#include "common/number_scan.h"
#include "common/report.h"
#include "common/strings.h"

namespace {

// Report lines of the checks made here (module TokUtil).
enum : sUInt {
  kLineOpen = 112,
  kLineTable = 118,
  kLineList = 121,
  kLineScan = 137,
  kLineEntry = 141,
  kLineName = 144,
  kLineAdd = 148,
};

// A value wider than this is refused rather than cut: a silently truncated
// range number would give every token of the range a wrong id.
constexpr sUInt kMaxValueDigits = 8;

// Where a definition stopped scanning, and why.
struct sScanFault {
  const char16_t* at = nullptr;
  const char16_t* what = nullptr;
};

// Reads "<name> = <hex>" the way the standard wide scan with "%s = %x"
// accepts it: leading white space; the name runs to the next white space;
// each blank of the pattern matches any white space, none included; the
// number may carry a sign and a "0x"/"0X" prefix, and a lone "0x" reads as
// 0. Whatever follows the number is left alone. `name` holds kLineCapacity
// units. Returns the number of items obtained; a number of more than
// kMaxValueDigits digits is not obtained. With fewer than two, `fault`
// says where and why the scan gave up.
int scan_definition(const char16_t* s, char16_t* name, sUInt* value, sScanFault& fault) {
  while (*s != 0 && wc_is_space(*s)) ++s;
  if (*s == 0) return 0;
  sUInt n = 0;
  while (*s != 0 && !wc_is_space(*s) && n < kLineCapacity - 1) name[n++] = *s++;
  name[n] = 0;

  const char16_t* name_end = s;
  while (*s != 0 && wc_is_space(*s)) ++s;
  if (*s != u'=') {
    fault = {*s == 0 ? name_end : s, u"expected '=' after the range name"};
    return 1;
  }
  ++s;
  const char16_t* equals_end = s;
  while (*s != 0 && wc_is_space(*s)) ++s;

  const char16_t* number_at = *s == 0 ? equals_end : s;
  bool negative = false;
  if (*s == u'+' || *s == u'-') negative = (*s++ == u'-');
  bool prefix_zero = false;
  if (s[0] == u'0' && (s[1] == u'x' || s[1] == u'X')) {
    prefix_zero = true;
    s += 2;
  }
  const sDigitRun run = scan_digits(s, s + wstr_len(s), 16);
  const auto digits = static_cast<std::size_t>(run.end - s);
  if (digits > kMaxValueDigits) {
    fault = {number_at, u"hexadecimal number of more than 8 digits"};
    return 1;
  }
  if (digits == 0 && !prefix_zero) {
    fault = {number_at, u"expected a hexadecimal number after '='"};
    return 1;
  }
  const auto number = static_cast<sUInt>(run.value);
  *value = negative ? 0u - number : number;
  return 2;
}

void free_entry(sSIDNEntry* entry) {
  free_string(entry->str);
  std::free(entry);
}

// Fills the freshly created sidn_table from `f`. On failure the caller
// releases the table with everything added to it.
int read_definitions(sReporter& rep, sSIDNTable* sidn_table, std::FILE* f, const char16_t* path,
                     sFileDiagnosis* diagnosis) {
  char16_t line[kLineCapacity];
  char16_t* lstr = line;
  sLinePlace place;
  while (line_read(f, line, &lstr)) {
    place.next(line);
    if (line_strcmp(&lstr, u"enum")) line_strcmp(&lstr, u"{");
    // The definition is scanned from before its prefix: the prefix is part
    // of the name.
    const char16_t* definition = lstr;
    if (!line_strcmp(&lstr, u"SIDN_")) continue;

    char16_t sidn_buf[kLineCapacity];
    sUInt value = 0;
    sScanFault fault;
    if (!VX_CHECK(rep, kModuleTokUtil, kLineScan, scan_definition(definition, sidn_buf, &value, fault) == 2,
                  "swscanf (lstr, L\"%s = %x\", &sidn_buf, &value) == 2")) {
      diagnose(diagnosis, path, place.line, place.column(line, fault.at), fault.what);
      return 0;
    }
    sSIDNEntry* entry = nullptr;
    if (!VX_CHECK(rep, kModuleTokUtil, kLineEntry,
                  (entry = static_cast<sSIDNEntry*>(vexlor_mem_alloc_fixed(sizeof(sSIDNEntry)))) != nullptr,
                  "(entry = (sSIDNEntry *) vexlor_mem_alloc_fixed(sizeof (sSIDNEntry))) != 0")) {
      return 0;
    }
    entry->value = value;
    if (!VX_CHECK(rep, kModuleTokUtil, kLineName, (entry->str = alloc_string(sidn_buf, 0u)) != nullptr,
                  "(entry->str = alloc_string (sidn_buf, 0u)) != 0")) {
      free_entry(entry);
      return 0;
    }
    if (!VX_CHECK(rep, kModuleTokUtil, kLineAdd, list_add(sidn_table->entries, entry) != nullptr,
                  "list_add (sidn_table->entries, entry) != 0")) {
      free_entry(entry);
      return 0;
    }
  }
  return 1;
}

int load_opened(sReporter& rep, sSIDNTable*& sidn_table, std::FILE* f, const char16_t* path,
                sFileDiagnosis* diagnosis) {
  if (!VX_CHECK(rep, kModuleTokUtil, kLineTable,
                (sidn_table = static_cast<sSIDNTable*>(vexlor_mem_alloc_fixed(sizeof(sSIDNTable)))) != nullptr,
                "(sidn_table = (sSIDNTable *) vexlor_mem_alloc_fixed(sizeof (sSIDNTable))) != 0")) {
    return 0;
  }
  sidn_table->entries = nullptr;
  if (!VX_CHECK(rep, kModuleTokUtil, kLineList, (sidn_table->entries = list_create()) != nullptr,
                "(sidn_table->entries = list_create ()) != 0") ||
      !read_definitions(rep, sidn_table, f, path, diagnosis)) {
    tokutil_free_sidn_table(sidn_table);
    return 0;
  }
  return 1;
}

}  // namespace

int tokutil_load_sidn_table(sReporter& rep, sSIDNTable*& sidn_table, const char16_t* path,
                            sFileDiagnosis* diagnosis) {
  if (sidn_table != nullptr) return 0;
  set_report_definition_file(rep, path);
  FilePtr f(open_file_utf16(rep, path, "r"));
  if (f == nullptr) diagnose(diagnosis, path, 0, 0, kCannotOpen);
  int ok = VX_CHECK_FILE(rep, kModuleTokUtil, kLineOpen, f != nullptr, "(f = fopen (fname, \"r\")) != 0") &&
           load_opened(rep, sidn_table, f.get(), path, diagnosis);
  if (!ok && f != nullptr) diagnose(diagnosis, path, 0, 0, kOutOfMemory);
  set_report_definition_file(rep, nullptr);
  return ok;
}

void tokutil_free_sidn_table(sSIDNTable*& sidn_table) {
  if (sidn_table == nullptr) return;
  if (sListNode* head = sidn_table->entries; head != nullptr) {
    for (sListNode* node = head->next; node != head; node = node->next) {
      free_entry(static_cast<sSIDNEntry*>(node->data));
    }
    list_destroy(head);
  }
  std::free(sidn_table);
  sidn_table = nullptr;
}

int tokutil_get_sidn_value(const sSIDNTable* sidn_table, const char16_t* name, sUInt* value) {
  if (sidn_table == nullptr || sidn_table->entries == nullptr || name == nullptr) return 0;
  sListNode* head = sidn_table->entries;
  for (sListNode* node = head->next; node != head; node = node->next) {
    const auto* entry = static_cast<const sSIDNEntry*>(node->data);
    if (wstr_equal(entry->str, name)) {
      *value = entry->value;
      return 1;
    }
  }
  return 0;
}
