#include "shape/json_writer.h"

#include <charconv>
#include <cstring>
#include <memory>
#include <new>

#include "bnf/bnf_model.h"
#include "common/report.h"
#include "container/fioshare.h"
#include "shape/conversion.h"
#include "shape/shape_tree.h"

namespace {

constexpr char16_t kTooDeep[] = u"Shape item tree nested deeper than %u levels [ShpFile %d]\n";
constexpr char16_t kNotBlockOrArray[] =
    u"Parent shape item node doesn't reference BNF def type BNFT_TOKENDEF or BNFT_CON_ARRAY [BNFParse %d]\n";
constexpr sUInt kLineTooDeep = 2800;
constexpr sUInt kLineNotBlockOrArray = 2785;

// Numbers an array holds go this many to a line, or as many whole
// iterations as fit when each iteration is a fixed group of numbers.
constexpr sUInt kNumbersPerLine = 8;
constexpr char kHexDigits[] = "0123456789abcdef";

// Output collected in bytes and handed to the stream in large writes.
class sJsonOutput {
 public:
  explicit sJsonOutput(sFioShareFile* stream) : stream_(stream) {}
  sJsonOutput(const sJsonOutput&) = delete;
  sJsonOutput& operator=(const sJsonOutput&) = delete;

  bool put(char c) {
    if (used_ == kBytes && !flush()) return false;
    buffer_[used_++] = c;
    return true;
  }
  bool put(const char* text, sUInt count) {
    while (count != 0) {
      if (used_ == kBytes && !flush()) return false;
      sUInt chunk = kBytes - used_;
      if (chunk > count) chunk = count;
      std::memcpy(buffer_ + used_, text, chunk);
      used_ += chunk;
      text += chunk;
      count -= chunk;
    }
    return true;
  }
  bool put(const char* text) { return put(text, static_cast<sUInt>(std::strlen(text))); }
  // Room for `count` (at most kReserve) bytes behind tail(), kept by commit().
  static constexpr sUInt kReserve = 64;
  bool reserve(sUInt count) { return kBytes - used_ >= count || flush(); }
  char* tail() { return buffer_ + used_; }
  void commit(sUInt count) { used_ += count; }

  bool line(sUInt depth) {
    if (!put('\n')) return false;
    for (sUInt spaces = 2 * depth; spaces != 0;) {
      static constexpr char kSpaces[] = "                                                                ";
      const sUInt chunk = spaces < sizeof kSpaces - 1 ? spaces : sUInt(sizeof kSpaces - 1);
      if (!put(kSpaces, chunk)) return false;
      spaces -= chunk;
    }
    return true;
  }

  bool flush() {
    if (failed_) return false;
    if (used_ != 0 && fioshare_write(stream_, buffer_, used_) != used_) failed_ = true;
    used_ = 0;
    return !failed_;
  }

 private:
  static constexpr sUInt kBytes = 65536;
  sFioShareFile* stream_;
  sUInt used_ = 0;
  bool failed_ = false;
  char buffer_[kBytes];
};

bool put_unit_escape(sJsonOutput& out, sUInt unit) {
  const char escape[6] = {'\\', 'u', kHexDigits[(unit >> 12) & 15], kHexDigits[(unit >> 8) & 15],
                          kHexDigits[(unit >> 4) & 15], kHexDigits[unit & 15]};
  return out.put(escape, 6);
}

// A JSON string of UTF-16 units: standard escapes, other control
// characters and lone surrogates as \uXXXX, the rest as UTF-8.
bool put_string(sJsonOutput& out, const char16_t* text) {
  if (!out.put('"')) return false;
  if (text != nullptr) {
    for (const char16_t* p = text; *p != 0; ++p) {
      const sUInt c = *p;
      bool ok = true;
      if (c < 0x80) {
        switch (c) {
          case '"': ok = out.put("\\\"", 2); break;
          case '\\': ok = out.put("\\\\", 2); break;
          case '\n': ok = out.put("\\n", 2); break;
          case '\t': ok = out.put("\\t", 2); break;
          case '\r': ok = out.put("\\r", 2); break;
          case '\b': ok = out.put("\\b", 2); break;
          case '\f': ok = out.put("\\f", 2); break;
          default: ok = c < 0x20 ? put_unit_escape(out, c) : out.put(static_cast<char>(c)); break;
        }
      } else if (c < 0x800) {
        const char bytes[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        ok = out.put(bytes, 2);
      } else if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
        const sUInt code = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00u);
        ++p;
        const char bytes[4] = {static_cast<char>(0xF0 | (code >> 18)), static_cast<char>(0x80 | ((code >> 12) & 0x3F)),
                               static_cast<char>(0x80 | ((code >> 6) & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
        ok = out.put(bytes, 4);
      } else if (c >= 0xD800 && c <= 0xDFFF) {
        ok = put_unit_escape(out, c);
      } else {
        const char bytes[3] = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                               static_cast<char>(0x80 | (c & 0x3F))};
        ok = out.put(bytes, 3);
      }
      if (!ok) return false;
    }
  }
  return out.put('"');
}

// A number of the given node type, formatted straight into the output.
bool put_number(sJsonOutput& out, sUInt type, sUInt value) {
  if (!out.reserve(sJsonOutput::kReserve)) return false;
  char* const start = out.tail();
  char* end = start;
  switch (type) {
    case SHN_SINT: end = std::to_chars(start, start + 16, static_cast<sInt>(value)).ptr; break;
    case SHN_UINT: end = std::to_chars(start, start + 16, value).ptr; break;
    case SHN_DWORD:
    case SHN_BYTE: {
      const int digits = type == SHN_DWORD ? 8 : 2;
      *end++ = '"';
      for (int i = digits - 1; i >= 0; --i) *end++ = kHexDigits[(value >> (4 * i)) & 15];
      *end++ = '"';
      break;
    }
    case SHN_FLOAT: {
      const bool negative = (value >> 31) != 0;
      if ((value & 0x7F800000u) == 0x7F800000u) {
        // Not finite: the text form's words; a NaN keeps its sign alone.
        const char* word = (value & 0x007FFFFFu) != 0 ? (negative ? "\"-nan\"" : "\"nan\"")
                                                      : (negative ? "\"-inf\"" : "\"inf\"");
        const sUInt length = static_cast<sUInt>(std::strlen(word));
        std::memcpy(end, word, length);
        end += length;
        break;
      }
      float f;
      std::memcpy(&f, &value, sizeof f);
      end = std::to_chars(start, start + 48, f).ptr;
      break;
    }
    default: return false;
  }
  out.commit(static_cast<sUInt>(end - start));
  return true;
}

bool is_number(sUInt type) { return type >= SHN_SINT && type <= SHN_FLOAT; }

sUInt parent_kind(const sShapeItemNode* node) {
  if (node->bnf_entry == nullptr || node->bnf_entry->def == nullptr) return ~0u;
  return node->bnf_entry->def->type;
}

bool is_syntax_bracket(const sShapeItemNode* node, char16_t bracket) {
  return node != nullptr && node->type == SHN_LITERAL && node->bnf_entry == nullptr && node->text != nullptr &&
         node->text[0] == bracket && node->text[1] == 0;
}

// How many numbers of an array go on one line: whole iterations when each
// is a fixed group of numbers.
sUInt numbers_per_line(const sBNFTokenDef* array) {
  const sUInt group = array->subtoken_count;
  if (group == 0) return kNumbersPerLine;
  for (sUInt i = 0; i < group; ++i) {
    const sBNFTokenDef* def = array->subtokens[i].def;
    if (def == nullptr || def->type < BNFT_SINT || def->type > BNFT_FLOAT) return kNumbersPerLine;
  }
  return group >= kNumbersPerLine ? group : group * (kNumbersPerLine / group);
}

// The items of one list (the document's, a block's or an array's content):
// the separators and line breaks between them.
class sItemList {
 public:
  sItemList(sJsonOutput& out, sUInt depth, sUInt per_line) : out_(out), depth_(depth), per_line_(per_line) {}

  // Before an item; numbers share lines in an array.
  bool next(bool number) {
    if (number && per_line_ > 1 && on_line_ != 0 && on_line_ < per_line_) {
      ++on_line_;
      return out_.put(", ", 2);
    }
    on_line_ = number ? 1 : 0;
    if (any_ && !out_.put(',')) return false;
    any_ = true;
    return out_.line(depth_);
  }
  // After the last item: the line of the closing bracket.
  bool end() { return !any_ || out_.line(depth_ - 1); }

 private:
  sJsonOutput& out_;
  sUInt depth_;
  sUInt per_line_;
  sUInt on_line_ = 0;
  bool any_ = false;
};

class sJsonWriter {
 public:
  sJsonWriter(sConversion& conv, sJsonOutput& out) : conv_(conv), out_(out) {}

  // The nodes from `node` up to (not including) `stop` as items of `list`.
  bool write_items(sItemList& list, const sShapeItemNode* node, const sShapeItemNode* stop, sUInt depth,
                   sUInt nesting) {
    for (; node != stop && node != nullptr; node = node->next) {
      if (node->type == SHN_RUN) {
        const sUInt count = shape_run_count(node);
        for (sUInt i = 0; i < count; ++i) {
          if (!list.next(true) || !put_number(out_, shape_run_type(node, i), shape_run_value(node, i))) return false;
        }
      } else if (is_number(node->type)) {
        if (!list.next(true) || !put_number(out_, node->type, node->value)) return false;
      } else if (node->type == SHN_PARENT) {
        if (!list.next(false) || !write_parent(node, depth, nesting + 1)) return false;
      } else {
        if (!list.next(false) || !put_string(out_, node->text)) return false;
      }
    }
    return true;
  }

 private:
  bool write_parent(const sShapeItemNode* parent, sUInt depth, sUInt nesting) {
    if (nesting >= kMaxJsonNesting) {
      report_at(conv_.rep, kModuleShpFile, kLineTooDeep, kTooDeep, kMaxJsonNesting, kLineTooDeep);
      return false;
    }
    const sUInt kind = parent_kind(parent);
    if (kind == BNFT_CON_ARRAY) {
      sItemList list(out_, depth + 1, numbers_per_line(parent->bnf_entry->def));
      return out_.put('[') && write_items(list, parent->child, nullptr, depth + 1, nesting) && list.end() &&
             out_.put(']');
    }
    if (kind != BNFT_TOKENDEF) return not_block_or_array();
    // The token name, the block name if any, the opening bracket, the
    // content and the closing bracket, as the readers link them.
    const sShapeItemNode* token = parent->child;
    if (token == nullptr || token->next == nullptr) return not_block_or_array();
    const sShapeItemNode* second = token->next;
    const bool named = !(is_syntax_bracket(second, u'(') && !is_syntax_bracket(second->next, u'('));
    const sShapeItemNode* open = named ? second->next : second;
    if (!is_syntax_bracket(open, u'(')) return not_block_or_array();
    const sShapeItemNode* close = open->next;
    while (close != nullptr && close->next != nullptr) close = close->next;
    if (!is_syntax_bracket(close, u')')) return not_block_or_array();

    if (!out_.put("{\"token\": ", 10) || !put_string(out_, token->text)) return false;
    if (named && (!out_.put(", \"name\": ", 10) || !put_string(out_, second->text))) return false;
    sItemList list(out_, depth + 1, 1);
    return out_.put(", \"content\": [", 14) && write_items(list, open->next, close, depth + 1, nesting) &&
           list.end() && out_.put("]}", 2);
  }

  bool not_block_or_array() {
    report_at(conv_.rep, kModuleShpFile, kLineNotBlockOrArray, kNotBlockOrArray, kLineNotBlockOrArray + 1);
    return false;
  }

  sConversion& conv_;
  sJsonOutput& out_;
};

// A header byte: one character when it can stand in a string unescaped.
bool put_header_byte(sJsonOutput& out, sByte byte) {
  if (byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\') {
    const char text[3] = {'"', static_cast<char>(byte), '"'};
    return out.put(text, 3);
  }
  char digits[4];
  const char* end = std::to_chars(digits, digits + sizeof digits, static_cast<unsigned>(byte)).ptr;
  return out.put(digits, static_cast<sUInt>(end - digits));
}

bool put_header(sJsonOutput& out, const sByte* header) {
  char carried[2 * 8];
  for (sUInt i = 0; i < 8; ++i) {
    carried[2 * i] = kHexDigits[header[8 + i] >> 4];
    carried[2 * i + 1] = kHexDigits[header[8 + i] & 15];
  }
  return out.put("{\n  \"header\": {\"format\": ") && put_header_byte(out, header[kBodyFormatByte]) &&
         out.put(", \"type\": ") && put_header_byte(out, header[kBodyTypeByte]) && out.put(", \"version\": ") &&
         put_header_byte(out, header[kBodyVersionByte]) && out.put(", \"carried\": \"") &&
         out.put(carried, sizeof carried) && out.put("\"},\n  \"content\": [");
}

}  // namespace

int write_json_stream(sConversion& conv, sFioShareFile* stream, const sShapeFile* file, const sShapeItemNode* first) {
  if (stream == nullptr || file == nullptr || first == nullptr) return 0;
  // About 64 KB: kept off the machine stack, which a conversion thread
  // shares with the walker.
  std::unique_ptr<sJsonOutput> out(new (std::nothrow) sJsonOutput(stream));
  if (out == nullptr) return 0;
  sJsonWriter writer(conv, *out);
  sItemList list(*out, 2, 1);
  const bool written = put_header(*out, file->header) && writer.write_items(list, first, nullptr, 2, 0) &&
                       list.end() && out->put("]\n}\n", 4);
  return out->flush() && written;
}

int write_json_file(sConversion& conv, const char16_t* path, const sShapeFile* file, const sShapeItemNode* first) {
  if (path == nullptr || file == nullptr || first == nullptr) return 0;
  sFioShareFile* stream = fioshare_file_open(conv.rep, path, FIO_WRITE, FIO_COMP_NONE, 0);
  if (stream == nullptr) {
    conv.last_error_code = kErrorCannotWrite;
    return 0;
  }
  // The document goes to the file as it is written, never held whole.
  fioshare_omit_header(stream);
  fioshare_write_direct(stream);
  if (write_json_stream(conv, stream, file, first) == 0) {
    fioshare_file_abandon(stream);
    return 0;
  }
  return fioshare_file_close(stream) != 0;
}
