#include "shape/text_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "bnf/bnf_model.h"
#include "common/report.h"
#include "common/strings.h"
#include "container/fioshare.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"

namespace {

constexpr char16_t kNotBlockOrArray[] =
    u"Parent shape item node doesn't reference BNF def type BNFT_TOKENDEF or BNFT_CON_ARRAY [BNFParse %d]\n";
constexpr char16_t kNoChildren[] = u"Parent shape item node without children! [BNFParse %d]\n";
constexpr char16_t kIndentTooLarge[] = u"Indent larger than %u requested";
constexpr char16_t kTooDeep[] = u"Shape item tree nested deeper than %u levels [ShpFile %d]\n";

constexpr sUInt kLineIndentTooLarge = 230;
constexpr sUInt kLineNewlineFailed = 2444;
constexpr sUInt kLineIndentFailed = 2451;
constexpr sUInt kLineSeparatorFailed = 2455;
constexpr sUInt kLineNotBlockOrArray = 2785;
constexpr sUInt kNumberNotBlockOrArray = 2786;
constexpr sUInt kLineNoChildren = 2793;
constexpr sUInt kLineTooDeep = 2800;

constexpr char16_t kNewlineFailed[] = u"FILE_WRITE_NEWLINE (file)";
constexpr char16_t kIndentFailed[] = u"FILE_PRINTF (file, _TT(\"%s\"), spaces (depth))";
constexpr char16_t kSeparatorFailed[] = u"FILE_PRINTF (file, _TT(\" \"))";

constexpr sUInt kLineWidth = 1024;
constexpr sUInt kTabWidth = 4;
constexpr sUInt kPlainWordLimit = 1024;
constexpr sUInt kPieceWidthBase = 1016;
constexpr sUInt kPieceWidthFloor = 256;
constexpr sUInt kQuickWordUnits = 64;

// The indentation: up to 1024 TABs.
struct sIndentText {
  char16_t units[kMaxIndentDepth];
  constexpr sIndentText() : units() {
    for (sUInt i = 0; i < kMaxIndentDepth; ++i) units[i] = u'\t';
  }
};
constexpr sIndentText kIndentText;

// Units that end a word or begin another token in the tokenizer, or that a
// plain word may not hold: white space, control characters, quotation mark,
// backslash, brackets and the vertical bar.
constexpr bool quote_forcing(char16_t c) {
  if (c < 0x80) {
    // The "C" locale's white space and control characters (wc_is_space,
    // wc_is_cntrl): everything up to the space, and DEL.
    if (c <= 0x20 || c == 0x7F) return true;
    switch (c) {
      case u'"': case u'\\': case u'(': case u')': case u'[': case u']': case u'{': case u'}': case u'|':
        return true;
      default:
        return false;
    }
  }
  return false;
}

struct sQuoteTable {
  bool forcing[0x80];
  constexpr sQuoteTable() : forcing() {
    for (char16_t c = 0; c < 0x80; ++c) forcing[c] = quote_forcing(c);
  }
};
constexpr sQuoteTable quote_table;

bool is_bracket_text(const char16_t* text, char16_t bracket) {
  return text != nullptr && text[0] == bracket && text[1] == 0;
}

// "//" and "/*" are taken for comment markers whatever their token class,
// so they are never written as one word or one piece.
bool is_comment_marker(char16_t first, char16_t second) { return first == u'/' && (second == u'/' || second == u'*'); }

// The text's length, and whether it may stand as a plain word: one pass,
// since most items are short numbers.
struct sTextShape {
  sUInt length;
  bool plain;
};

sTextShape shape_of(const char16_t* text) {
  sUInt length = 0;
  bool forcing = false;
  for (char16_t c; (c = text[length]) != 0; ++length) forcing |= c < 0x80 && quote_table.forcing[c];
  const bool plain = !forcing && length != 0 && length < kPlainWordLimit &&
                     !(length == 2 && is_comment_marker(text[0], text[1]));
  return {length, plain};
}

// Output collected in units and handed to the stream in large writes: the
// body is mostly short values, and one stream write per unit or per value
// would cost more than the values themselves.
class sTextOutput {
 public:
  sTextOutput(sReporter& rep, sFioShareFile* stream) : rep_(rep), stream_(stream) {}

  sReporter& rep() { return rep_; }
  sTextOutput(const sTextOutput&) = delete;
  sTextOutput& operator=(const sTextOutput&) = delete;

  bool put(char16_t unit) {
    if (used_ == kUnits && !flush()) return false;
    buffer_[used_++] = unit;
    return true;
  }

  bool put(const char16_t* units, sUInt count) {
    while (count != 0) {
      if (used_ == kUnits && !flush()) return false;
      const sUInt chunk = std::min(count, kUnits - used_);
      std::memcpy(buffer_ + used_, units, chunk * sizeof(char16_t));
      used_ += chunk;
      units += chunk;
      count -= chunk;
    }
    return true;
  }

  bool newline() { return put(u"\r\n", 2); }

  // Room for `units` more units (at most kUnits) behind tail(), which
  // commit() then keeps: a piece can be written in place and dropped
  // again at no cost.
  bool reserve(sUInt units) { return kUnits - used_ >= units || flush(); }
  char16_t* tail() { return buffer_ + used_; }
  void commit(sUInt units) { used_ += units; }

  // Depths from kMaxIndentDepth on get no indentation, and a report.
  bool indent(sUInt depth) {
    if (depth >= kMaxIndentDepth) {
      report_at(rep_, kModuleShpFile, kLineIndentTooLarge, kIndentTooLarge, kMaxIndentDepth);
      return true;
    }
    return put(kIndentText.units, depth);
  }

  bool flush() {
    if (failed_) return false;
    if (used_ == 0) return true;
    if constexpr (std::endian::native == std::endian::big) {
      for (sUInt i = 0; i < used_; ++i) buffer_[i] = char16_t((buffer_[i] >> 8) | (buffer_[i] << 8));
    }
    const sUInt bytes = used_ * sUInt(sizeof(char16_t));
    used_ = 0;
    if (fioshare_write(stream_, buffer_, bytes) != bytes) failed_ = true;
    return !failed_;
  }

 private:
  static constexpr sUInt kUnits = 8192;
  sReporter& rep_;
  sFioShareFile* stream_;
  sUInt used_ = 0;
  bool failed_ = false;
  char16_t buffer_[kUnits];
};

bool wrap(sTextOutput& out, sUInt n, sUInt depth, sUInt& column) {
  column += n;
  if (column < kLineWidth) return true;
  if (!out.newline() || !out.indent(depth)) return false;
  column = n + kTabWidth * depth;
  return true;
}

// The length of the next piece of a quoted text: up to the last white space
// before the width limit, the end of a line, or three quarters of the limit
// when there is no white space to cut at.
sUInt find_piece(const char16_t* text, sUInt remaining, sUInt limit) {
  sUInt width = 0;
  sUInt split = 0;
  bool after_space = false;
  bool line_feed = false;
  for (sUInt i = 0; i < remaining;) {
    const char16_t c = text[i];
    const bool space = c == u' ' || c == u'\n' || (c == u'\t' && !line_feed);
    if (!space && after_space) {
      split = i;
      if (line_feed) return i;
    }
    if (c == u'\n') {
      line_feed = true;
      width += 1;
    }
    width += (c == u'\t' || c == u'"' || c == u'\\') ? 2 : 1;
    after_space = space;
    ++i;
    if (width >= limit) {
      if (split != 0) return split;
      return std::min(remaining, limit * 12 / 16);
    }
  }
  return remaining;
}

struct sPieceShape {
  sUInt escaped;
  bool line_feed;
};

sPieceShape measure_piece(const char16_t* text, sUInt length) {
  sPieceShape shape{0, false};
  for (sUInt i = 0; i < length; ++i) {
    const char16_t c = text[i];
    if (c == u'\r') continue;
    if (c == u'\n') shape.line_feed = true;
    shape.escaped += (c == u'\t' || c == u'\n' || c == u'"' || c == u'\\') ? 2 : 1;
  }
  return shape;
}

// The unit after `text` that is not a carriage return.
const char16_t* skip_returns(const char16_t* text) {
  while (*text == u'\r') ++text;
  return text;
}

bool put_escaped(sTextOutput& out, const char16_t* text, sUInt length) {
  for (sUInt i = 0; i < length; ++i) {
    const char16_t c = text[i];
    bool ok = true;
    switch (c) {
      case u'\t': ok = out.put(u"\\t", 2); break;
      case u'\n': ok = out.put(u"\\n", 2); break;
      case u'"': ok = out.put(u"\\\"", 2); break;
      case u'\\': ok = out.put(u"\\\\", 2); break;
      case u'\r': break;
      default: ok = out.put(c); break;
    }
    if (!ok) return false;
  }
  return true;
}

bool write_quoted(sTextOutput& out, const char16_t* text, sUInt length, sUInt depth, sUInt& column) {
  const sUInt limit = depth <= (kPieceWidthBase - kPieceWidthFloor) / kTabWidth
                          ? kPieceWidthBase - kTabWidth * depth
                          : kPieceWidthFloor;
  sUInt remaining = length;
  bool first_piece = true;
  do {
    sUInt piece = find_piece(text, remaining, limit);
    sPieceShape shape = measure_piece(text, piece);
    if (shape.escaped == 2 && !shape.line_feed) {
      const char16_t* first = skip_returns(text);
      const char16_t* second = skip_returns(first + 1);
      if (is_comment_marker(*first, *second)) {
        piece = sUInt(first - text) + 1;
        shape = sPieceShape{1, false};
      }
    }
    if (!wrap(out, shape.escaped + 4, depth, column)) return false;
    if (!first_piece && !out.indent(depth + 1)) return false;
    if (!out.put(u'"') || !put_escaped(out, text, piece) || !out.put(u'"')) return false;
    text += piece;
    remaining -= piece;
    if (remaining != 0 && !out.put(u'+')) return false;
    if (shape.line_feed && !out.newline()) return false;
    first_piece = false;
  } while (remaining != 0);
  return true;
}

// Most items are short plain words that fit the line, each behind one
// space. Such a word is copied into the output while it is measured, and
// kept unless it needs quotes, a line break, or turns out longer than the
// copy; then nothing is written and false returned (a bracket written bare
// takes that way too).
bool put_quick_word(sTextOutput& out, const char16_t* text, sUInt& column) {
  if (!out.reserve(1 + kQuickWordUnits)) return false;
  char16_t* const start = out.tail();
  *start = u' ';
  char16_t* to = start + 1;
  const char16_t* from = text;
  const char16_t* const limit = text + kQuickWordUnits;
  char16_t c = *from;
  // It stops at its end (the terminator is a control character) or at the
  // first unit a plain word cannot hold.
  while (!(quote_table.forcing[c & 0x7F] && c < 0x80)) {
    *to++ = c;
    if (++from == limit) return false;
    c = *from;
  }
  const sUInt length = static_cast<sUInt>(from - text);
  if (c != 0 || length == 0 || (length == 2 && is_comment_marker(text[0], text[1]))) return false;
  if (column + length + 1 >= kLineWidth) return false;
  column += length + 1;
  out.commit(1 + length);
  return true;
}

bool fail_check(sTextOutput& out, sUInt line, const char16_t* condition) {
  report_failed_check(out.rep(), kModuleShpFile, line, condition);
  return false;
}

bool is_number(sUInt type) { return type >= SHN_SINT && type <= SHN_FLOAT; }

bool write_item(sTextOutput& out, const char16_t* text, sUInt depth, bool first, bool after_block, int balance,
                sUInt& column, bool in_array, bool bare) {
  if (first) {
    if (in_array && depth == 0) {
      if (!out.put(u' ')) return fail_check(out, kLineSeparatorFailed, kSeparatorFailed);
    } else {
      if (!out.indent(depth)) return fail_check(out, kLineIndentFailed, kIndentFailed);
      column += kTabWidth * depth;
    }
  } else if (after_block && balance == 0 && is_bracket_text(text, u')')) {
    if (!out.newline()) return fail_check(out, kLineNewlineFailed, kNewlineFailed);
    column = 0;
    if (!out.indent(depth)) return fail_check(out, kLineIndentFailed, kIndentFailed);
    column += kTabWidth * depth;
  } else if (!out.put(u' ')) {
    return fail_check(out, kLineSeparatorFailed, kSeparatorFailed);
  }

  const sTextShape shape = shape_of(text);
  if (shape.length > kMaxItemUnits) return false;
  if (bare || shape.plain) {
    return wrap(out, shape.length + 1, depth, column) && out.put(text, shape.length);
  }
  return write_quoted(out, text, shape.length, depth, column);
}

// A number: its text, formatted straight into the output when it stays on
// the line behind one space (a number text never needs quotes).
bool write_number(sTextOutput& out, sUInt type, sUInt value, sUInt depth, bool first, bool after_block, int balance,
                  sUInt& column, bool in_array) {
  if (!first && !after_block) {
    if (!out.reserve(1 + kValueTextUnits)) return false;
    char16_t* at = out.tail();
    at[0] = u' ';
    const sUInt length = shape_format_number(type, value, at + 1);
    if (column + length + 1 < kLineWidth) {
      column += length + 1;
      out.commit(length + 1);
      return true;
    }
  }
  char16_t text[kValueTextUnits + 1];
  text[shape_format_number(type, value, text)] = 0;
  return write_item(out, text, depth, first, after_block, balance, column, in_array, false);
}

sUInt parent_kind(const sShapeItemNode* node) {
  if (node->bnf_entry == nullptr || node->bnf_entry->def == nullptr) return ~0u;
  return node->bnf_entry->def->type;
}

bool is_syntax_bracket(const sShapeItemNode* node, char16_t bracket) {
  return node != nullptr && node->type == SHN_LITERAL && node->bnf_entry == nullptr &&
         is_bracket_text(node->text, bracket);
}

bool write_parent(sTextOutput& out, const sShapeItemNode* parent, sUInt depth, sUInt nesting) {
  if (nesting >= kMaxTextNesting) {
    report_at(out.rep(), kModuleShpFile, kLineTooDeep, kTooDeep, kMaxTextNesting, kLineTooDeep);
    return false;
  }
  sUInt column = kTabWidth * depth;
  bool first = true;
  bool after_block = false;
  int balance = 0;
  const sUInt kind = parent_kind(parent);
  const bool array = kind == BNFT_CON_ARRAY;
  if (!array && !out.newline()) return false;
  if (kind != BNFT_TOKENDEF && !array) {
    report_at(out.rep(), kModuleShpFile, kLineNotBlockOrArray, kNotBlockOrArray, kNumberNotBlockOrArray);
    return false;
  }
  const sShapeItemNode* child = parent->child;
  if (child == nullptr) {
    report_at(out.rep(), kModuleShpFile, kLineNoChildren, kNoChildren, kLineNoChildren);
    return true;
  }

  // A block's own brackets are written bare so that they read back as
  // brackets. They are the bracket nodes without a grammar entry behind the
  // token name and the block name, if any, and the last child.
  const sShapeItemNode* open = nullptr;
  const sShapeItemNode* close = nullptr;
  if (!array) {
    const sShapeItemNode* second = child->next;
    const bool named = second != nullptr && !(is_syntax_bracket(second, u'(') && !is_syntax_bracket(second->next, u'('));
    open = named ? second->next : second;
  }

  for (; child != nullptr; child = child->next) {
    if (child->type == SHN_PARENT) {
      const bool block = parent_kind(child) != BNFT_CON_ARRAY;
      if (!write_parent(out, child, block ? depth + 1 : depth, nesting + 1)) return false;
      after_block = true;
      continue;
    }
    if (child->type == SHN_RUN) {
      const sUInt count = shape_run_count(child);
      for (sUInt i = 0; i < count; ++i) {
        if (!write_number(out, shape_run_type(child, i), shape_run_value(child, i), depth, first, after_block, balance,
                          column, array)) {
          return false;
        }
        first = false;
      }
      continue;
    }
    if (is_number(child->type)) {
      if (!write_number(out, child->type, child->value, depth, first, after_block, balance, column, array)) return false;
      first = false;
      continue;
    }
    // Inside a line an item is one space and its text, nearly always a
    // short plain word; such a word is no bracket.
    if (!first && !after_block && child->text != nullptr && put_quick_word(out, child->text, column)) continue;
    if (is_bracket_text(child->text, u'(')) ++balance;
    if (is_bracket_text(child->text, u')')) --balance;
    if (!array && child->next == nullptr) close = child;
    const bool bare = (child == open && is_syntax_bracket(child, u'(')) || (child == close && is_syntax_bracket(child, u')'));
    if (!write_item(out, child->text != nullptr ? child->text : u"", depth, first, after_block, balance, column, array,
                    bare)) {
      return false;
    }
    first = false;
  }
  return true;
}

}  // namespace

int text_wrap(sReporter& rep, sFioShareFile* stream, sUInt n, sUInt depth, sUInt* column) {
  if (stream == nullptr || column == nullptr) return 0;
  sTextOutput out(rep, stream);
  return wrap(out, n, depth, *column) && out.flush();
}

int write_text_item(sReporter& rep, sFioShareFile* stream, const sShapeItemNode* node, sUInt depth, int first,
                    int after_block, int balance, sUInt* column, int in_array, int bare) {
  if (stream == nullptr || node == nullptr || column == nullptr) return 0;
  sTextOutput out(rep, stream);
  const bool written =
      is_number(node->type)
          ? write_number(out, node->type, node->value, depth, first != 0, after_block != 0, balance, *column,
                         in_array != 0)
          : write_item(out, node->text != nullptr ? node->text : u"", depth, first != 0, after_block != 0, balance,
                       *column, in_array != 0, bare != 0);
  return written && out.flush();
}

int write_text_parent(sReporter& rep, sFioShareFile* stream, sShapeItemNode* parent, sUInt depth) {
  if (stream == nullptr || parent == nullptr) return 0;
  sTextOutput out(rep, stream);
  const bool written = write_parent(out, parent, depth, 0);
  return out.flush() && written;
}

int write_text_stream(sConversion& conv, sFioShareFile* stream, sShapeFile* file, sShapeItemNode* first) {
  if (stream == nullptr || file == nullptr || first == nullptr) return 0;
  sByte header[2 * kBodyHeaderBytes];
  for (sUInt i = 0; i < kBodyHeaderBytes; ++i) {
    header[2 * i] = i == kBodyFormByte ? kTextForm : file->header[i];
    header[2 * i + 1] = 0;
  }
  if (fioshare_write(stream, header, sizeof header) != sizeof header) return 0;
  sTextOutput out(conv.rep, stream);
  bool written = true;
  for (const sShapeItemNode* node = first; node != nullptr && written; node = node->next) {
    written = write_parent(out, node, 0, 0);
  }
  out.newline();
  return out.flush() && written;
}

int write_text_file(sConversion& conv, const char16_t* path, sShapeFile* file, sShapeItemNode* first, sUInt comp) {
  if (path == nullptr || file == nullptr || first == nullptr) return 0;
  sFioShareFile* stream = fioshare_file_open(conv.rep, path, FIO_WRITE, comp, 1);
  if (stream == nullptr) {
    conv.last_error_code = kErrorCannotWrite;
    return 0;
  }
  // Uncompressed text goes to the file as it is written rather than being
  // held whole until the close: the text of a large file is several times
  // the size of its binary form.
  fioshare_write_direct(stream);
  if (write_text_stream(conv, stream, file, first) == 0) {
    // The file keeps what it had rather than a text that stops part-way.
    fioshare_file_abandon(stream);
    return 0;
  }
  return fioshare_file_close(stream) != 0;
}
