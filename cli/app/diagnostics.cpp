#include "app/diagnostics.h"

#include <cstdio>
#include <string>

#include "common/utf8.h"

namespace {

// Program state, set once before any conversion starts.
DiagnosisStyle g_style = DiagnosisStyle::kGnu;

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
