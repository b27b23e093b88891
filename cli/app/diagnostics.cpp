#include "app/diagnostics.h"

#include <mutex>
#include <set>
#include <string>

#include "bnf/grammar_check.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "engine/definitions.h"
#include "app/console_sink.h"
#include "platform/console.h"
#include "shape/grammar_walker.h"
#include "shape/read_diagnosis.h"

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

// "A", "A or B", "A, B or C".
std::u16string join_expected(const std::vector<std::u16string>& items) {
  std::u16string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) text += i + 1 == items.size() ? u" or " : u", ";
    text += items[i];
  }
  return text;
}

// What went wrong, after "error: ".
std::u16string what_failed(const sReadDiagnosis& d) {
  const std::u16string expected =
      d.expected.empty() ? std::u16string() : u"expected " + join_expected(d.expected) + u", found " + d.found;
  switch (d.failure) {
    case sReadFailure::kMismatch:
    case sReadFailure::kTooManyAttempts:
      return expected.empty() ? u"does not match its grammar" : expected;
    case sReadFailure::kUnknownToken:
      return d.binary ? u"no token has the id " + d.found : u"no token is named " + d.found;
    case sReadFailure::kTooDeep: return u"nested deeper than " + decimal_text(kMaxMatchDepth) + u" grammar levels";
    case sReadFailure::kOutOfMemory: return u"out of memory";
    case sReadFailure::kNoExtension: return u"the name of a token file needs an extension";
    default: return {};
  }
}

// The source line, and under it a caret at the point: every TAB before it
// repeated, so that the caret lines up wherever the terminal puts the tabs.
std::u16string caret_lines(const sReadDiagnosis& d) {
  std::u16string line = d.cut_before ? u"..." : u"";
  std::u16string caret = d.cut_before ? u"   " : u"";
  line += d.source_line;
  if (d.cut_after) line += u"...";
  std::size_t point = 0;
  for (std::size_t i = 0; i < d.source_line.size() && point < d.caret; ++i) {
    const char16_t c = d.source_line[i];
    if (c >= 0xDC00 && c <= 0xDFFF && i > 0 && d.source_line[i - 1] >= 0xD800 && d.source_line[i - 1] <= 0xDBFF) {
      continue;
    }
    caret += c == u'\t' ? u'\t' : u' ';
    ++point;
  }
  return line + u"\n" + caret + u"^\n";
}

// "Shape robot / Mesh body / Faces"; a deep path keeps its ends.
std::u16string block_path(const std::vector<std::u16string>& blocks) {
  constexpr std::size_t kHead = 2;
  constexpr std::size_t kTail = 3;
  std::u16string path;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (blocks.size() > kHead + kTail + 1 && i == kHead) {
      path += u" / ... (" + decimal_text(static_cast<unsigned>(blocks.size() - kHead - kTail)) + u" more)";
      i = blocks.size() - kTail - 1;
      continue;
    }
    path += (path.empty() ? u"" : u" / ") + blocks[i];
  }
  return path;
}

}  // namespace

void set_diagnosis_style(DiagnosisStyle style) { g_style = style; }

std::u16string format_diagnosis(const sFileDiagnosis& d, const char16_t* severity, DiagnosisStyle style) {
  std::u16string line = d.file;
  if (d.line != 0) {
    if (style == DiagnosisStyle::kMsvc) {
      line += u"(" + decimal_text(d.line);
      if (d.column != 0) line += u"," + decimal_text(d.column);
      line += u")";
    } else {
      line += u":" + decimal_text(d.line);
      if (d.column != 0) line += u":" + decimal_text(d.column);
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
  console::error_write(bytes.data(), bytes.size());
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

std::u16string display_name(const std::u16string& source) { return source == u"-" ? u"<stdin>" : source; }

std::string format_read_diagnosis(const std::u16string& source, const sReadDiagnosis& d, DiagnosisStyle style) {
  if (d.failure == sReadFailure::kNone) return {};
  const std::u16string file = display_name(source);
  std::u16string text;
  if (d.failure == sReadFailure::kNoExtension) {
    text = file + u": error: " + what_failed(d) + u"\n";
  } else if (d.binary) {
    const std::u16string where = file + u": offset " + decimal_text(d.offset) + u": ";
    text = where + u"error: " + what_failed(d) + u"\n";
    if (!d.blocks.empty()) text += where + u"note: in " + block_path(d.blocks) + u"\n";
    if (d.failure == sReadFailure::kTooManyAttempts) text += where + u"note: the read gave up after too many attempts\n";
  } else {
    const std::u16string where = style == DiagnosisStyle::kMsvc
                                     ? file + u"(" + decimal_text(d.line) + u"," + decimal_text(d.column) + u"): "
                                     : file + u":" + decimal_text(d.line) + u":" + decimal_text(d.column) + u": ";
    text = where + u"error: " + what_failed(d) + u"\n" + caret_lines(d);
    if (d.failure == sReadFailure::kTooManyAttempts) text += where + u"note: the read gave up after too many attempts\n";
  }
  return u16_to_utf8(text);
}

void print_read_diagnosis(const std::u16string& source, const sReadDiagnosis& diagnosis) {
  const std::string text = format_read_diagnosis(source, diagnosis, g_style);
  if (!text.empty()) emit_diagnostic_bytes(text.data(), text.size());
}
