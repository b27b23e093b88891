// Reading a JSON document: a small scanner over the UTF-8 bytes (strings
// with their escapes into UTF-16 units, numbers, punctuation) and the
// shared grammar walker on top. An attempt saves the read position; a
// failed attempt sets it back.
//
// The position always stands right behind a token, so whether the next item
// needs a comma before it is told by the byte before the position: none
// behind the "[" that opens a list, one behind anything else.
#include "shape/json_reader.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "bnf/bnf_model.h"
#include "common/memory.h"
#include "common/report.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "shape/conversion.h"
#include "shape/grammar_walker.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

namespace {

constexpr sUInt kLineTerminalNode = 1520;
constexpr sUInt kLineBlockNode = 1637;
constexpr sUInt kLineTooManyAttempts = 1464;
constexpr sUInt kNoPosition = 0xFFFFFFFFu;

// As the other readers: a read may make this many attempts, and more for
// every byte up to the furthest it has reached.
constexpr std::uint64_t kAttemptBase = std::uint64_t(1) << 24;
constexpr std::uint64_t kAttemptsPerByte = 1024;

bool is_blank(sByte c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(sByte c) { return c >= '0' && c <= '9'; }

int hex_value(sUInt c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// The units of the last string scanned, terminated; grows as needed.
class sUnitBuffer {
 public:
  sUnitBuffer() = default;
  sUnitBuffer(const sUnitBuffer&) = delete;
  sUnitBuffer& operator=(const sUnitBuffer&) = delete;
  ~sUnitBuffer() {
    if (units_ != fixed_) std::free(units_);
  }

  void clear() { length_ = 0; }
  bool push(char16_t unit) {
    if (length_ + 1 == capacity_ && !grow()) return false;
    units_[length_++] = unit;
    return true;
  }
  const char16_t* text() {
    units_[length_] = 0;
    return units_;
  }
  sUInt length() const { return length_; }
  bool equals(const char16_t* text) const {
    if (text == nullptr) return false;
    for (sUInt i = 0; i < length_; ++i) {
      if (text[i] != units_[i]) return false;
    }
    return text[length_] == 0;
  }

 private:
  bool grow() {
    if (capacity_ > 0x3FFFFFFFu) return false;
    const sUInt capacity = capacity_ * 2;
    void* block = vexlor_mem_alloc_fixed(capacity * sUInt(sizeof(char16_t)));
    if (block == nullptr) return false;
    std::memcpy(block, units_, length_ * sizeof(char16_t));
    if (units_ != fixed_) std::free(units_);
    units_ = static_cast<char16_t*>(block);
    capacity_ = capacity;
    return true;
  }

  static constexpr sUInt kFixed = 256;
  char16_t fixed_[kFixed];
  char16_t* units_ = fixed_;
  sUInt capacity_ = kFixed;
  sUInt length_ = 0;
};

// The scanner: positions are byte offsets; a scan that fails returns
// kNoPosition and moves nothing.
class sJsonScanner {
 public:
  sJsonScanner(const sByte* bytes, sUInt size) : b_(bytes), size_(size) {}

  sUInt size() const { return size_; }
  const sByte* bytes() const { return b_; }

  sUInt skip_blank(sUInt pos) const {
    while (pos < size_ && is_blank(b_[pos])) ++pos;
    return pos;
  }
  // The byte at `pos`, or 0 at the end.
  sByte at(sUInt pos) const { return pos < size_ ? b_[pos] : 0; }

  // `c` after blanks: the position behind it.
  sUInt punct(sUInt pos, sByte c) const {
    pos = skip_blank(pos);
    return at(pos) == c ? pos + 1 : kNoPosition;
  }

  // A string at `pos` (after blanks) into `out`: the position behind it.
  sUInt string(sUInt pos, sUnitBuffer& out) const {
    pos = skip_blank(pos);
    if (at(pos) != '"') return kNoPosition;
    ++pos;
    out.clear();
    for (;;) {
      if (pos >= size_) return kNoPosition;
      const sByte c = b_[pos];
      if (c == '"') return pos + 1;
      if (c < 0x20) return kNoPosition;
      if (c == '\\') {
        if (pos + 1 >= size_) return kNoPosition;
        const sByte e = b_[pos + 1];
        char16_t unit = 0;
        switch (e) {
          case '"': unit = u'"'; break;
          case '\\': unit = u'\\'; break;
          case '/': unit = u'/'; break;
          case 'b': unit = u'\b'; break;
          case 'f': unit = u'\f'; break;
          case 'n': unit = u'\n'; break;
          case 'r': unit = u'\r'; break;
          case 't': unit = u'\t'; break;
          case 'u': {
            if (size_ - pos < 6) return kNoPosition;
            sUInt value = 0;
            for (sUInt i = 2; i < 6; ++i) {
              const int digit = hex_value(b_[pos + i]);
              if (digit < 0) return kNoPosition;
              value = value * 16 + static_cast<sUInt>(digit);
            }
            // No text holds a zero unit.
            if (value == 0) return kNoPosition;
            unit = static_cast<char16_t>(value);
            pos += 4;
            break;
          }
          default: return kNoPosition;
        }
        if (!out.push(unit)) return kNoPosition;
        pos += 2;
        continue;
      }
      if (c < 0x80) {
        if (!out.push(c)) return kNoPosition;
        ++pos;
        continue;
      }
      // UTF-8: the shortest form only, no surrogates, up to U+10FFFF.
      sUInt count = 0;
      sUInt code = 0;
      sUInt lowest = 0;
      if (c >= 0xC2 && c <= 0xDF) {
        count = 1, code = c & 0x1Fu, lowest = 0x80;
      } else if (c >= 0xE0 && c <= 0xEF) {
        count = 2, code = c & 0x0Fu, lowest = 0x800;
      } else if (c >= 0xF0 && c <= 0xF4) {
        count = 3, code = c & 0x07u, lowest = 0x10000;
      } else {
        return kNoPosition;
      }
      if (size_ - pos <= count) return kNoPosition;
      for (sUInt i = 1; i <= count; ++i) {
        const sByte next = b_[pos + i];
        if ((next & 0xC0) != 0x80) return kNoPosition;
        code = (code << 6) | (next & 0x3Fu);
      }
      if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kNoPosition;
      bool pushed = true;
      if (code >= 0x10000) {
        pushed = out.push(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10))) &&
                 out.push(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
      } else {
        pushed = out.push(static_cast<char16_t>(code));
      }
      if (!pushed) return kNoPosition;
      pos += count + 1;
    }
  }

  // A number at `pos` (no blanks before it): its end, whether it is an
  // integer (no fraction, no exponent) and whether it is negative.
  sUInt number(sUInt pos, bool* integer, bool* negative) const {
    *negative = at(pos) == '-';
    if (*negative) ++pos;
    if (at(pos) == '0') {
      ++pos;
    } else if (is_digit(at(pos))) {
      while (is_digit(at(pos))) ++pos;
    } else {
      return kNoPosition;
    }
    *integer = true;
    if (at(pos) == '.') {
      ++pos;
      if (!is_digit(at(pos))) return kNoPosition;
      while (is_digit(at(pos))) ++pos;
      *integer = false;
    }
    if (at(pos) == 'e' || at(pos) == 'E') {
      ++pos;
      if (at(pos) == '+' || at(pos) == '-') ++pos;
      if (!is_digit(at(pos))) return kNoPosition;
      while (is_digit(at(pos))) ++pos;
      *integer = false;
    }
    return pos;
  }

  // `key` (a string equal to it) and its colon: the position behind them.
  sUInt key(sUInt pos, const char16_t* name, sUnitBuffer& scratch) const {
    pos = string(pos, scratch);
    if (pos == kNoPosition || !scratch.equals(name)) return kNoPosition;
    return punct(pos, ':');
  }

 private:
  const sByte* b_;
  sUInt size_;
};

// A header byte: a one-character string or a number 0-255.
sUInt header_byte(const sJsonScanner& s, sUInt pos, sUnitBuffer& scratch, sByte* out) {
  pos = s.skip_blank(pos);
  if (s.at(pos) == '"') {
    pos = s.string(pos, scratch);
    if (pos == kNoPosition || scratch.length() != 1 || scratch.text()[0] > 0xFF) return kNoPosition;
    *out = static_cast<sByte>(scratch.text()[0]);
    return pos;
  }
  bool integer = false;
  bool negative = false;
  const sUInt end = s.number(pos, &integer, &negative);
  if (end == kNoPosition || !integer || negative || end - pos > 3) return kNoPosition;
  sUInt value = 0;
  for (sUInt i = pos; i < end; ++i) value = value * 10 + (s.bytes()[i] - '0');
  if (value > 0xFF) return kNoPosition;
  *out = static_cast<sByte>(value);
  return end;
}

// Where a header stopped reading, and what it wanted there.
struct sHeaderStop {
  sUInt at = 0;
  const char16_t* wanted = nullptr;
};

// The document up to the "[" of its content: the position behind it, or
// kNoPosition with `stop` telling where and what was wanted.
sUInt scan_header(const sJsonScanner& s, sByte* header, sUnitBuffer& scratch, sHeaderStop* stop = nullptr) {
  sUInt pos = 0;
  if (s.size() >= 3 && s.at(0) == 0xEF && s.at(1) == 0xBB && s.at(2) == 0xBF) pos = 3;
  std::memcpy(header, "TORV", 4);
  header[kBodyFormByte] = kTextForm;
  // Each item is looked at from `pos`; the first that does not fit ends the
  // scan there.
  auto step = [&](const char16_t* wanted, sUInt next) {
    if (pos == kNoPosition) return false;
    if (next == kNoPosition) {
      if (stop != nullptr) *stop = sHeaderStop{s.skip_blank(pos), wanted};
      pos = kNoPosition;
      return false;
    }
    pos = next;
    return true;
  };
  constexpr const char16_t* kByteValue = u"a one-character string or a number from 0 to 255";
  if (!step(u"'{'", s.punct(pos, '{')) || !step(u"'\"header\"'", s.key(pos, u"header", scratch)) ||
      !step(u"'{'", s.punct(pos, '{')) || !step(u"'\"format\"'", s.key(pos, u"format", scratch))) {
    return kNoPosition;
  }
  const sUInt format_at = s.skip_blank(pos);
  if (!step(kByteValue, header_byte(s, pos, scratch, &header[kBodyFormatByte])) || !step(u"','", s.punct(pos, ',')) ||
      !step(u"'\"type\"'", s.key(pos, u"type", scratch)) ||
      !step(kByteValue, header_byte(s, pos, scratch, &header[kBodyTypeByte])) || !step(u"','", s.punct(pos, ',')) ||
      !step(u"'\"version\"'", s.key(pos, u"version", scratch)) ||
      !step(kByteValue, header_byte(s, pos, scratch, &header[kBodyVersionByte])) ||
      !step(u"','", s.punct(pos, ',')) || !step(u"'\"carried\"'", s.key(pos, u"carried", scratch))) {
    return kNoPosition;
  }
  const sUInt carried_at = s.skip_blank(pos);
  constexpr const char16_t* kCarried = u"a string of 16 hexadecimal digits";
  if (!step(kCarried, s.string(pos, scratch))) return kNoPosition;
  bool carried_ok = scratch.length() == 16;
  const char16_t* carried = scratch.text();
  for (sUInt i = 0; carried_ok && i < 8; ++i) {
    const int high = hex_value(carried[2 * i]);
    const int low = hex_value(carried[2 * i + 1]);
    carried_ok = high >= 0 && low >= 0;
    if (carried_ok) header[8 + i] = static_cast<sByte>(high * 16 + low);
  }
  if (!carried_ok) {
    if (stop != nullptr) *stop = sHeaderStop{carried_at, kCarried};
    return kNoPosition;
  }
  if (!step(u"'}'", s.punct(pos, '}')) || !step(u"','", s.punct(pos, ',')) ||
      !step(u"'\"content\"'", s.key(pos, u"content", scratch)) || !step(u"'['", s.punct(pos, '['))) {
    return kNoPosition;
  }
  // As a body header: no format above "0".
  if (header[kBodyFormatByte] > '0') {
    if (stop != nullptr) *stop = sHeaderStop{format_at, u"a format of at most '0'"};
    return kNoPosition;
  }
  return pos;
}

struct NoBound {};

class JsonReader : public sGrammarWalker<JsonReader> {
 public:
  using Point = sUInt;  // the read position

  static constexpr sReaderLines kLines{1450, 1456, 1462, 1736, 1592};
  static constexpr const char16_t* kTooDeep = u"JSON nested deeper than %u grammar levels [ShpFile %d]\n";
  static constexpr bool kTerminalsNest = false;
  static constexpr bool kArrayBrackets = true;

  JsonReader(sConversion& conv, sShapeArena* arena, const sJsonScanner& scanner, sUInt position)
      : conv_(conv), arena_(arena), s_(scanner), position_(position), start_(position), furthest_(position) {}

  sShapeArena* arena() { return arena_; }
  sReporter& rep() { return conv_.rep; }
  bool unresolved_tokens() const { return unresolved_tokens_; }
  sUInt position() const { return position_; }
  sUInt furthest() const { return furthest_; }
  void set_position(sUInt position) { position_ = position; }
  // A point looked at: the furthest one is where a failed read stopped.
  void note(sUInt pos) {
    if (pos > furthest_ && pos != kNoPosition) furthest_ = pos;
  }

  // The furthest point is kept as the read goes: nothing more to record.
  void mark_stop() {}

  Point save() const { return position_; }
  void restore(Point position) { position_ = position; }
  void drop(Point) {}
  sUInt progress() const { return position_; }

  bool count_attempt() {
    if (++attempts_ > kAttemptBase + kAttemptsPerByte * (furthest_ - start_)) {
      abort_read(u"Too many attempts to match the JSON document [ShpFile %d]\n", kLineTooManyAttempts);
      return false;
    }
    return true;
  }

  // A terminal; a refusal is told to the walker at the place the item
  // would have started.
  bool match_terminal(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, NoBound) {
    if (take_terminal(entry, def, cursor)) return true;
    if (!aborted()) refuse_item(def->type, def->text);
    return false;
  }

  // Where the next item would start: behind the blanks and the comma that
  // parts it from the one before.
  sUInt refusal_point() const {
    sUInt pos = s_.skip_blank(position_);
    if (position_ != 0 && s_.at(position_ - 1) != '[' && s_.at(pos) == ',') pos = s_.skip_blank(pos + 1);
    return pos;
  }

  // An item refused there; when something other than a comma or the end of
  // the list follows the item before, the comma is what is missing.
  void refuse_item(sUInt kind, const char16_t* text) {
    const sUInt pos = s_.skip_blank(position_);
    const bool first = position_ == 0 || s_.at(position_ - 1) == '[';
    if (!first && pos < s_.size() && s_.at(pos) != ',' && s_.at(pos) != ']') {
      refuse(pos, BNFT_LITERAL, u",");
    } else {
      refuse(refusal_point(), kind, text);
    }
  }

  bool take_terminal(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor) {
    const sUInt pos = item_start();
    if (pos == kNoPosition) return false;
    const sUInt kind = def->type;
    const sByte first = s_.at(pos);
    if (kind >= BNFT_SINT && kind <= BNFT_FLOAT && first != '"') return take_number(entry, kind, pos, cursor);
    if (first != '"') return false;
    const sUInt end = s_.string(pos, units_);
    if (end == kNoPosition) return false;
    sUInt value = 0;
    switch (kind) {
      case BNFT_LITERAL:
        if (!units_.equals(def->text)) return false;
        break;
      case BNFT_STRING: break;
      case BNFT_TOKEN: {
        const char16_t* name = units_.text();
        if (is_valid_identifier(name) == 0) return false;
        const sShapeTokenDef* token = tokutil_find_stoken_by_name(conv_.tokens, name);
        if (token != nullptr) {
          value = token->id;
        } else {
          unresolved_tokens_ = true;
        }
        break;
      }
      case BNFT_DWORD:
      case BNFT_BYTE: {
        const sUInt digits = units_.length();
        if (digits == 0 || digits > (kind == BNFT_DWORD ? 8u : 2u)) return false;
        const char16_t* text = units_.text();
        for (sUInt i = 0; i < digits; ++i) {
          const int digit = hex_value(text[i]);
          if (digit < 0) return false;
          value = value * 16 + static_cast<sUInt>(digit);
        }
        return append_number(entry, kind, value, end, cursor);
      }
      case BNFT_FLOAT: {
        // Only the words of the values no number stands for.
        if (!units_.equals(u"nan") && !units_.equals(u"-nan") && !units_.equals(u"inf") && !units_.equals(u"-inf")) {
          return false;
        }
        float f;
        if (scan_float_text(units_.text(), &f) != kScanConverted) return false;
        std::memcpy(&value, &f, sizeof f);
        return append_number(entry, kind, value, end, cursor);
      }
      default: return false;
    }
    sShapeItemNode* node = shape_node_create_text(cursor, units_.text(), units_.length(), arena_);
    if (node == nullptr) {
      abort_read(kNodeNotCreated, kLineTerminalNode);
      return false;
    }
    node->type = kind - BNFT_LITERAL;
    node->value = value;
    node->bnf_entry = entry;
    position_ = end;
    return true;
  }

  // {"token": NAME, ["name": STRING,] "content": [ ... ]}, linked as the
  // text reader links a block: token name, block name, "(", content, ")".
  bool match_block(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, NoBound bound) {
    sUInt pos = item_start();
    if (pos == kNoPosition || s_.at(pos) != '{') return refuse_block(def);
    pos = s_.key(pos + 1, u"token", units_);
    note(pos);
    if (pos == kNoPosition) return refuse_block(def);
    const sUInt name_at = s_.skip_blank(pos);
    pos = s_.string(pos, units_);
    if (pos == kNoPosition || !units_.equals(def->text)) {
      // Another token name: what was expected is said at the name.
      refuse(name_at, BNFT_TOKENDEF, def->text);
      return false;
    }
    pos = s_.punct(pos, ',');
    note(pos);
    if (pos == kNoPosition) return false;

    sShapeItemNode* parent = shape_node_create(cursor, arena_);
    if (parent == nullptr) return abort_block();
    parent->type = SHN_PARENT;
    parent->bnf_entry = entry;
    sShapeItemNode* local = parent;
    if (!create_text(&local, def->text, wstr_len(def->text), SHN_LITERAL, entry)) return false;

    sUInt after = s_.string(pos, units_);
    note(after);
    if (after == kNoPosition) return false;
    if (units_.equals(u"name")) {
      pos = s_.punct(after, ':');
      if (pos != kNoPosition) pos = s_.string(pos, units_);
      note(pos);
      if (pos == kNoPosition) return false;
      if (!create_text(&local, units_.text(), units_.length(), SHN_STRING, nullptr)) return false;
      pos = s_.punct(pos, ',');
      if (pos != kNoPosition) after = s_.string(pos, units_);
      note(after);
      if (pos == kNoPosition || after == kNoPosition) return false;
    }
    if (!units_.equals(u"content")) return false;
    pos = s_.punct(after, ':');
    if (pos != kNoPosition) pos = s_.punct(pos, '[');
    note(pos);
    if (pos == kNoPosition) return false;
    if (!create_text(&local, u"(", 1, SHN_LITERAL, nullptr)) return false;
    position_ = pos;

    const bool content = match_sequence(def, &local, bound);
    if (!content || aborted()) return false;
    pos = s_.punct(position_, ']');
    note(pos);
    if (pos != kNoPosition) pos = s_.punct(pos, '}');
    note(pos);
    if (pos == kNoPosition) return false;
    position_ = pos;
    return create_text(&local, u")", 1, SHN_LITERAL, nullptr);
  }

  struct ArrayOpen {
    bool bracket;
    sUInt position;
  };

  ArrayOpen open_array() {
    const sUInt pos = item_start();
    if (pos != kNoPosition && s_.at(pos) == '[') {
      position_ = pos + 1;
      return {true, position_};
    }
    return {false, position_};
  }

  // Without its brackets an array may only be one that matched nothing.
  bool close_array(const ArrayOpen& opened) {
    if (!opened.bracket) return position_ == opened.position;
    const sUInt pos = s_.punct(position_, ']');
    note(pos == kNoPosition ? s_.skip_blank(position_) : pos);
    if (pos == kNoPosition) return false;
    position_ = pos;
    return true;
  }

 private:
  // Where the next item of a list starts: behind blanks, and behind the
  // comma that separates it from the item before.
  sUInt item_start() {
    sUInt pos = s_.skip_blank(position_);
    if (position_ == 0 || s_.at(position_ - 1) != '[') {
      note(pos);
      if (s_.at(pos) != ',') return kNoPosition;
      pos = s_.skip_blank(pos + 1);
    }
    note(pos);
    return pos < s_.size() ? pos : kNoPosition;
  }

  bool refuse_block(const sBNFTokenDef* def) {
    refuse_item(BNFT_TOKENDEF, def->text);
    return false;
  }

  bool abort_block() {
    abort_read(kNodeNotCreated, kLineBlockNode);
    return false;
  }

  bool create_text(sShapeItemNode** cursor, const char16_t* text, sUInt length, sUInt type, const sBNFSubtoken* entry) {
    sShapeItemNode* node = shape_node_create_text(cursor, text, length, arena_);
    if (node == nullptr) return abort_block();
    node->type = type;
    node->bnf_entry = entry;
    return true;
  }

  bool append_number(const sBNFSubtoken* entry, sUInt kind, sUInt value, sUInt end, sShapeItemNode** cursor) {
    if (shape_number_append(cursor, entry, kind - BNFT_LITERAL, value, arena_) == nullptr) {
      abort_read(kNodeNotCreated, kLineTerminalNode);
      return false;
    }
    position_ = end;
    return true;
  }

  bool take_number(const sBNFSubtoken* entry, sUInt kind, sUInt pos, sShapeItemNode** cursor) {
    bool integer = false;
    bool negative = false;
    const sUInt end = s_.number(pos, &integer, &negative);
    if (end == kNoPosition) return false;
    const char* first = reinterpret_cast<const char*>(s_.bytes()) + pos;
    const char* last = reinterpret_cast<const char*>(s_.bytes()) + end;
    sUInt value = 0;
    switch (kind) {
      case BNFT_SINT:
      case BNFT_UINT: {
        if (!integer || (negative && kind == BNFT_UINT)) return false;
        const char* digits = negative ? first + 1 : first;
        if (last - digits > 10) return false;
        std::uint64_t magnitude = 0;
        for (const char* p = digits; p != last; ++p) magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
        if (kind == BNFT_UINT) {
          if (magnitude > 0xFFFFFFFFu) return false;
          value = static_cast<sUInt>(magnitude);
        } else {
          if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return false;
          value = negative ? static_cast<sUInt>(0 - magnitude) : static_cast<sUInt>(magnitude);
        }
        break;
      }
      case BNFT_FLOAT: {
        float f = 0;
        const auto result = std::from_chars(first, last, f);
        if (result.ec == std::errc::result_out_of_range) {
          // Past the range of a float: what the text form makes of it.
          char16_t text[kValueTextUnits * 4];
          if (last - first >= static_cast<std::ptrdiff_t>(sizeof text / sizeof text[0])) return false;
          sUInt length = 0;
          for (const char* p = first; p != last; ++p) text[length++] = static_cast<char16_t>(*p);
          text[length] = 0;
          if (scan_float_text(text, &f) != kScanConverted) return false;
        } else if (result.ec != std::errc() || result.ptr != last) {
          return false;
        }
        std::memcpy(&value, &f, sizeof f);
        break;
      }
      default: return false;  // dwords and bytes are strings
    }
    return append_number(entry, kind, value, end, cursor);
  }

  sConversion& conv_;
  sShapeArena* arena_;
  const sJsonScanner& s_;
  sUInt position_;
  sUInt start_;
  sUInt furthest_;
  std::uint64_t attempts_ = 0;
  bool unresolved_tokens_ = false;
  sUnitBuffer units_;
};

// The JSON token at `at`, for "found": a string with its quotes, a word or
// number, or one punctuation character.
std::u16string token_at(const sByte* bytes, sUInt size, sUInt at) {
  sUInt end = at;
  if (bytes[at] == '"') {
    for (end = at + 1; end < size && bytes[end] != '"' && bytes[end] != '\n'; ++end) {
      if (bytes[end] == '\\' && end + 1 < size) ++end;
    }
    if (end < size && bytes[end] == '"') ++end;
  } else if (std::strchr("{}[]:,", bytes[at]) != nullptr) {
    end = at + 1;
  } else {
    while (end < size && !is_blank(bytes[end]) && std::strchr("{}[]:,\"", bytes[end]) == nullptr) ++end;
  }
  return utf8_to_u16(std::string_view(reinterpret_cast<const char*>(bytes + at), end - at));
}

sJsonPlace place_of(const sByte* bytes, sUInt size, sUInt offset);

// The diagnosis of a failed read: the place of the furthest refusal (or of
// the furthest point looked at, when that lies beyond), its line, what the
// grammar would have taken there and what stood there.
void diagnose(sReadDiagnosis& d, const sByte* bytes, sUInt size, sUInt at, sReadFailure failure,
              const sFurthestRefusal* refusals) {
  d = sReadDiagnosis{};
  d.failure = failure;
  while (at < size && is_blank(bytes[at])) ++at;
  if (at > size) at = size;
  const sJsonPlace place = place_of(bytes, size, at);
  d.line = place.line;
  d.column = place.column;
  sUInt start = at;
  while (start > 0 && bytes[start - 1] != '\n') --start;
  sUInt end = at;
  while (end < size && bytes[end] != '\n' && bytes[end] != '\r') ++end;
  std::u16string line = utf8_to_u16(std::string_view(reinterpret_cast<const char*>(bytes + start), end - start));
  sUInt caret = place.column - 1;
  if (line.size() > kExcerptUnits) {
    const sUInt from = caret > kExcerptUnits / 2 ? caret - kExcerptUnits / 2 : 0;
    d.cut_before = from != 0;
    d.cut_after = from + kExcerptUnits < line.size();
    line = line.substr(from, kExcerptUnits);
    caret -= from;
  }
  d.source_line = line;
  d.caret = caret;
  d.found = at < size ? quote_found(token_at(bytes, size, at)) : std::u16string(u"end of file");
  if (refusals != nullptr) word_expected(*refusals, d);
}

void diagnose_header(sReadDiagnosis& d, const sByte* bytes, sUInt size, const sHeaderStop& stop) {
  diagnose(d, bytes, size, stop.at, sReadFailure::kMismatch, nullptr);
  if (stop.wanted != nullptr) d.expected.assign(1, stop.wanted);
}

sJsonPlace place_of(const sByte* bytes, sUInt size, sUInt offset) {
  if (offset > size) offset = size;
  sJsonPlace place{offset, 1, 1};
  for (sUInt i = 0; i < offset; ++i) {
    if (bytes[i] == '\n') {
      ++place.line;
      place.column = 1;
    } else if ((bytes[i] & 0xC0) != 0x80) {
      ++place.column;
    }
  }
  return place;
}

}  // namespace

bool is_json_document(const sByte* bytes, sUInt size) {
  if (bytes == nullptr) return false;
  sUInt pos = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  while (pos < size && is_blank(bytes[pos])) ++pos;
  return pos < size && bytes[pos] == '{';
}

int read_json_header(const sByte* bytes, sUInt size, sByte* header) {
  if (bytes == nullptr || header == nullptr) return 0;
  sJsonScanner scanner(bytes, size);
  sUnitBuffer scratch;
  sByte read[kBodyHeaderBytes];
  if (scan_header(scanner, read, scratch) == kNoPosition) return 0;
  std::memcpy(header, read, sizeof read);
  return 1;
}

void diagnose_json_header(const sByte* bytes, sUInt size, sReadDiagnosis& diagnosis) {
  if (bytes == nullptr) return;
  sJsonScanner scanner(bytes, size);
  sUnitBuffer scratch;
  sByte header[kBodyHeaderBytes];
  sHeaderStop stop;
  if (scan_header(scanner, header, scratch, &stop) != kNoPosition) return;
  diagnose_header(diagnosis, bytes, size, stop);
}

int match_json(sConversion& conv, sShapeArena* arena, const sByte* bytes, sUInt size, const sBNFSubtoken* entry,
               sShapeItemNode** cursor, int* tokens_resolved, sJsonPlace* stop) {
  conv.diagnosis = sReadDiagnosis{};
  sJsonScanner scanner(bytes, size);
  sUnitBuffer scratch;
  sByte header[kBodyHeaderBytes];
  sHeaderStop header_stop;
  const sUInt content = scan_header(scanner, header, scratch, &header_stop);
  bool matched = false;
  sUInt furthest = 0;
  bool resolved = true;
  if (content != kNoPosition) {
    JsonReader reader(conv, arena, scanner, content);
    matched = reader.walk(entry, cursor, NoBound{});
    resolved = !reader.unresolved_tokens();
    if (matched) {
      // The content's end, the document's end, and nothing behind it.
      const sUInt close = scanner.skip_blank(reader.position());
      const sUInt end = scanner.at(close) == ']' ? scanner.skip_blank(close + 1) : close;
      const sUInt rest = scanner.at(end) == '}' && end != close ? scanner.skip_blank(end + 1) : end;
      matched = end != close && rest != end && rest == size;
      if (!matched) reader.note(rest);
    }
    furthest = reader.furthest();
    if (!matched) {
      const sFurthestRefusal& refusals = reader.refusals();
      const bool beyond = !refusals.any() || furthest > refusals.point();
      const sReadFailure failure = reader.stop() != sReadFailure::kNone ? reader.stop() : sReadFailure::kMismatch;
      diagnose(conv.diagnosis, bytes, size, beyond ? furthest : refusals.point(), failure,
               beyond ? nullptr : &refusals);
    }
  } else {
    diagnose_header(conv.diagnosis, bytes, size, header_stop);
  }
  if (tokens_resolved != nullptr) *tokens_resolved = resolved ? 1 : 0;
  if (stop != nullptr) *stop = place_of(bytes, size, furthest);
  return matched ? 1 : 0;
}
