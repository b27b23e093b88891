#include "app/diagnostics.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "bnf/grammar_check.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "engine/definitions.h"

namespace {

// Program state, set once before any conversion starts.
DiagnosisStyle g_style = DiagnosisStyle::kGnu;
// The grammars warned about in this run; conversions of a batch share it.
std::mutex g_warned_mutex;
std::set<const sBNFTable*> g_warned;

// The grammar file as the load opened it: its table keeps the name alone.
std::u16string grammar_path(const sDefinitions& defs, const sBNFTable* table) {
  for (const std::u16string& file : defs.files) {
    const std::size_t cut = file.find_last_of(u"/\\");
    const std::u16string name = cut == std::u16string::npos ? file : file.substr(cut + 1);
    if (wstr_equal_nocase(name.c_str(), table->name)) return file;
  }
  return table->name;
}

std::u16string number(sUInt n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits;
}

}  // namespace

void set_diagnosis_style(DiagnosisStyle style) { g_style = style; }

std::u16string format_diagnosis(const sFileDiagnosis& d, const char16_t* severity, DiagnosisStyle style) {
  std::u16string line = d.file;
  if (d.line != 0) {
    if (style == DiagnosisStyle::kMsvc) {
      line += u"(" + number(d.line);
      if (d.column != 0) line += u"," + number(d.column);
      line += u")";
    } else {
      line += u":" + number(d.line);
      if (d.column != 0) line += u":" + number(d.column);
    }
  }
  line += u": ";
  line += severity;
  line += u": ";
  line += d.what;
  return line;
}

void print_diagnosis(const sFileDiagnosis& diagnosis, const char16_t* severity) {
  const std::u16string line = format_diagnosis(diagnosis, severity, g_style) + u"\n";
  const std::string bytes = u16_to_utf8(line);
  // After what standard output holds already, for a terminal showing both.
  std::fflush(stdout);
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

void warn_about_grammar_once(const sDefinitions& defs, const sBNFTable* table) {
  if (table == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(g_warned_mutex);
    if (!g_warned.insert(table).second) return;
  }
  const std::u16string file = grammar_path(defs, table);
  for (const sGrammarWarning& warning : find_binary_ambiguities(*table, defs.tokens)) {
    sFileDiagnosis diagnosis;
    diagnose(&diagnosis, file, warning.rule->line, warning.rule->column, warning.what);
    print_diagnosis(diagnosis, u"warning");
  }
}
