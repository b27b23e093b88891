#include "shape/read_diagnosis.h"

#include "bnf/bnf_model.h"
#include "common/strings.h"

namespace {

bool same_text(const char16_t* a, const char16_t* b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  return wstr_equal(a, b);
}

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// `text` between two `quote`s.
std::u16string enclosed(char16_t quote, std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + 2);
  out += quote;
  out.append(text);
  out += quote;
  return out;
}

// The units of a text body, read little-endian.
struct sUnits {
  const sByte* body;
  sUInt count;
  char16_t operator[](sUInt i) const { return char16_t(body[2 * i] | (body[2 * i + 1] << 8)); }
};

// The tokenizer's classes: a blank (skipped), a unit that ends a word and
// is a token of its own, or a unit of a word.
enum class sUnitKind { kBlank, kBreak, kWord };

sUnitKind kind_of(char16_t c) {
  if (c == u'\n' || c == u'"' || c == u'(' || c == u')' || c == u'[' || c == u']' || c == u'{' || c == u'}' ||
      c == u'|') {
    return sUnitKind::kBreak;
  }
  if (c < 0x20 || c == 0x7F || c == u' ') return sUnitKind::kBlank;
  return sUnitKind::kWord;
}

// Code points of units [from, to), a pair of surrogates counting once.
sUInt code_points(const sUnits& units, sUInt from, sUInt to) {
  sUInt n = 0;
  for (sUInt i = from; i < to; ++i) {
    if (!(is_low_surrogate(units[i]) && i > from && is_high_surrogate(units[i - 1]))) ++n;
  }
  return n;
}

// The first `limit` code points of `text`, and "..." when there is more.
std::u16string cut_text(std::u16string_view text, sUInt limit) {
  sUInt points = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_low_surrogate(text[i]) && i > 0 && is_high_surrogate(text[i - 1])) continue;
    if (points == limit) return std::u16string(text.substr(0, i)) + u"...";
    ++points;
  }
  return std::u16string(text);
}

// The token at unit `at`, as it stands in the text.
std::u16string word_found_token(const sUnits& units, sUInt at) {
  const char16_t first = units[at];
  std::u16string text;
  if (first == u'"') {
    bool escaped = false;
    for (sUInt i = at + 1; i < units.count && text.size() <= 2 * kFoundCodePoints + 2; ++i) {
      const char16_t c = units[i];
      if (c == u'\n') break;
      if (c == u'\r' || c == 0) continue;
      if (!escaped && c == u'"') break;
      escaped = !escaped && c == u'\\';
      text += c;
    }
    return enclosed(u'"', cut_text(text, kFoundCodePoints));
  }
  if (kind_of(first) == sUnitKind::kBreak) return quote_found(std::u16string(1, first));
  for (sUInt i = at; i < units.count && text.size() <= 2 * kFoundCodePoints + 2; ++i) {
    const char16_t c = units[i];
    if (c == u'\r') continue;
    if (kind_of(c) != sUnitKind::kWord) break;
    text += c;
  }
  return quote_found(text);
}

}  // namespace

void sFurthestRefusal::add(sUInt kind, const char16_t* text) {
  for (sUInt i = 0; i < count_; ++i) {
    if (items_[i].kind == kind && same_text(items_[i].text, text)) return;
  }
  if (count_ < kMaxExpected) items_[count_++] = sExpectedItem{kind, text};
}

std::u16string word_expected_item(const sExpectedItem& item) {
  switch (item.kind) {
    case BNFT_TOKENDEF:
    case BNFT_LITERAL: return enclosed(u'\'', item.text != nullptr ? item.text : u"");
    case BNFT_STRING: return u"a string";
    case BNFT_SINT: return u"a signed number";
    case BNFT_UINT: return u"an unsigned number";
    case BNFT_DWORD: return u"a dword";
    case BNFT_BYTE: return u"a byte";
    case BNFT_FLOAT: return u"a float";
    case BNFT_TOKEN: return u"a token name";
    case kExpectBlockName: return u"a block name";
    case kExpectBlockSize: return u"a block size that fits";
    case kExpectBlockNameUnits: return u"a block name that fits";
    default: return u"?";
  }
}

void word_expected(const sFurthestRefusal& refusals, sReadDiagnosis& diagnosis) {
  diagnosis.expected.clear();
  for (sUInt i = 0; i < refusals.count(); ++i) diagnosis.expected.push_back(word_expected_item(refusals.item(i)));
}

std::u16string quote_found(std::u16string_view text) { return enclosed(u'\'', cut_text(text, kFoundCodePoints)); }

sUInt end_of_text(const sByte* body, sUInt size, sUInt from) {
  const sUnits units{body, size / 2};
  sUInt end = units.count;
  const sUInt first = from / 2;
  // Line ends count as blanks here: the end is shown behind the last word.
  while (end > first && (units[end - 1] == u'\n' || kind_of(units[end - 1]) == sUnitKind::kBlank)) --end;
  return end * 2;
}

void place_in_text(const sByte* body, sUInt size, sUInt at, bool word_found, sReadDiagnosis& diagnosis) {
  const sUnits units{body, size / 2};
  sUInt point = at / 2;
  if (point > units.count) point = units.count;
  sUInt line_start = point;
  while (line_start > 0 && units[line_start - 1] != u'\n') --line_start;
  sUInt lines = 1;
  for (sUInt i = 0; i < line_start; ++i) lines += units[i] == u'\n';
  sUInt line_end = point;
  while (line_end < units.count && units[line_end] != u'\n') ++line_end;
  while (line_end > point && (units[line_end - 1] == u'\r' || units[line_end - 1] == 0)) --line_end;

  diagnosis.line = lines;
  diagnosis.column = code_points(units, line_start, point) + 1;
  // A long line is shown around the point.
  sUInt from = line_start;
  if (point - line_start > kExcerptUnits / 2) from = point - kExcerptUnits / 2;
  if (from > line_start && is_low_surrogate(units[from])) --from;
  sUInt to = line_end;
  if (to - from > kExcerptUnits) to = from + kExcerptUnits;
  if (to > point && to < line_end && is_high_surrogate(units[to - 1])) --to;
  diagnosis.cut_before = from > line_start;
  diagnosis.cut_after = to < line_end;
  diagnosis.caret = code_points(units, from, point);
  diagnosis.source_line.clear();
  for (sUInt i = from; i < to; ++i) {
    const char16_t c = units[i];
    // Control units other than TAB would move the terminal's cursor.
    diagnosis.source_line += (c < 0x20 && c != u'\t') || c == 0x7F ? u' ' : c;
  }
  if (word_found) diagnosis.found = point < units.count ? word_found_token(units, point) : u"end of file";
}
