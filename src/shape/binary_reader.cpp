// Matching a binary body against a grammar: the shared grammar walker over
// the bytes of the body. An attempt saves the read position; a failed
// attempt sets it back.
#include "shape/binary_reader.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bnf/bnf_model.h"
#include "common/byte_order.h"
#include "common/format.h"
#include "common/report.h"
#include "common/strings.h"
#include "shape/conversion.h"
#include "shape/grammar_walker.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

namespace {

constexpr char16_t kPassedEndOfBlock[] = u"Passed end of block [ShpFile %d]\n";

constexpr sUInt kLinePassedEndOfBlock = 1040;
constexpr sUInt kLineTerminalNode = 1051;
constexpr sUInt kLineBlockNode = 1238;
constexpr sUInt kLineBlockNameNode = 1273;
constexpr sUInt kLineOpenNode = 1287;
constexpr sUInt kLineCloseNode = 1310;
constexpr sUInt kLineTooManyAttempts = 982;

// Backtracking may read the same bytes over and over: a grammar whose rules
// each try the next rule twice makes 2^n attempts before it takes a byte,
// and forty such lines would keep a read busy for days. A read may make this
// many attempts, and kAttemptsPerByte more for each byte up to the furthest
// it has reached; beyond that it fails. Real grammars make a handful of
// attempts per value.
constexpr std::uint64_t kAttemptBase = std::uint64_t(1) << 24;
constexpr std::uint64_t kAttemptsPerByte = 1024;

// Token ids of grammar words, looked up once per read: a block's id is
// compared every time the block is tried, and a table lookup by name is far
// dearer than a probe here. Keyed by the grammar's own text, which stays put
// while the grammar is loaded.
struct sIdCacheSlot {
  const char16_t* name;
  const sShapeTokenDef* token;
};
constexpr sUInt kIdCacheSlots = 512;

// A block the read is in: its token name (the grammar's), where its name's
// length byte is in the body, and a serial that no other block gets.
struct sBlockFrame {
  const char16_t* token;
  sUInt name_at;
  sUInt serial;
};

// Texts end at their first zero unit, and no text form can hold one: a
// string or block name with a zero unit would lose its rest without notice
// on its way to text, so it does not match.
bool holds_zero_unit(const sByte* units, sUInt count) {
  for (sUInt i = 0; i < count; ++i) {
    if ((units[2 * i] | units[2 * i + 1]) == 0) return true;
  }
  return false;
}

class BinaryReader : public sGrammarWalker<BinaryReader> {
 public:
  using Point = sUInt;  // the read position

  static constexpr sReaderLines kLines{968, 974, 980, 1343, 1190};
  static constexpr const char16_t* kTooDeep = u"Binary data nested deeper than %u grammar levels [ShpFile %d]\n";
  static constexpr bool kTerminalsNest = true;
  static constexpr bool kArrayBrackets = false;

  BinaryReader(sConversion& conv, sShapeArena* arena, const sByte* body, sUInt size, sUInt position)
      : conv_(conv), arena_(arena), body_(body), size_(size), position_(position), start_(position),
        furthest_(position) {
    std::memset(id_cache_, 0, sizeof id_cache_);
  }

  sShapeArena* arena() { return arena_; }
  sReporter& rep() { return conv_.rep; }
  sUInt position() const { return position_; }

  void mark_stop() {
    stop_offset_ = position_;
    keep_path(stop_path_);
  }

  // The diagnosis of a read that did not match, or that matched a token
  // id without a definition.
  void diagnose(bool matched) {
    sReadDiagnosis& d = conv_.diagnosis;
    d = sReadDiagnosis{};
    d.binary = true;
    if (matched) {
      if (!unresolved_token_) return;
      d.failure = sReadFailure::kUnknownToken;
      d.offset = unknown_offset_;
      d.found = word_hex(unknown_id_);
      word_path(unknown_path_, d);
      return;
    }
    d.failure = stop() != sReadFailure::kNone ? stop() : sReadFailure::kMismatch;
    if (d.failure == sReadFailure::kTooDeep) {
      d.offset = stop_offset_;
      word_path(stop_path_, d);
    } else {
      d.offset = refusals().any() ? refusals().point() : start_;
      word_path(refused_path_, d);
    }
    word_expected(refusals(), d);
    d.found = word_found(d.offset, refused_end_);
  }
  bool unresolved_tokens() const { return unresolved_token_; }

  Point save() const { return position_; }
  void restore(Point position) { position_ = position; }
  void drop(Point) {}
  sUInt progress() const { return position_; }

  bool count_attempt() {
    if (position_ > furthest_) furthest_ = position_;
    if (++attempts_ > kAttemptBase + kAttemptsPerByte * (furthest_ - start_)) {
      abort_read(u"Too many attempts to match the binary data [ShpFile %d]\n", kLineTooManyAttempts,
                 sReadFailure::kTooManyAttempts);
      return false;
    }
    return true;
  }

  // Terminals: a grammar word (its token id, or nothing when it names no
  // token) or one value. The bound is tested only where the terminal starts,
  // the body's end for every byte it reads.
  bool match_terminal(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, sUInt block_end) {
    const sUInt kind = def->type;
    // Numbers, nearly all of a body, take the short way.
    if (kind >= BNFT_SINT && kind <= BNFT_FLOAT) {
      if (position_ >= block_end) return passed_end_of_block(kind, nullptr, block_end);
      return match_number(entry, kind, cursor, block_end);
    }
    sUInt position = position_;
    const sUInt available = bytes_left(position);

    if (kind == BNFT_LITERAL) {
      const sShapeTokenDef* token = find_token(def->text);
      if (token != nullptr) {
        if (position >= block_end) return passed_end_of_block(kind, def->text, block_end);
        if (available < 4 || get_le32(body_ + position) != token->id) return refused(position, kind, def->text, block_end);
        position += 4;
      }
      sShapeItemNode* node = create_text_node(cursor, kLineTerminalNode, def->text);
      if (node == nullptr) return false;
      node->bnf_entry = entry;
      position_ = position;
      return true;
    }

    if (position >= block_end) return passed_end_of_block(kind, nullptr, block_end);
    const sByte* bytes = body_ + position;
    sShapeItemNode* node = nullptr;
    if (kind == BNFT_STRING) {
      if (available < 2) return refused(position, kind, nullptr, block_end);
      const sUInt units = get_le16(bytes);
      if (available - 2 < 2 * units || holds_zero_unit(bytes + 2, units)) {
        return refused(position, kind, nullptr, block_end);
      }
      node = create_body_text_node(cursor, kLineTerminalNode, bytes + 2, units);
      if (node == nullptr) return false;
      position += 2 + 2 * units;
    } else if (kind == BNFT_TOKEN) {
      if (available < 4) return refused(position, kind, nullptr, block_end);
      const sUInt id = get_le32(bytes);
      const sShapeTokenDef* token = tokutil_find_stoken_by_id(conv_.tokens, id);
      // Named only when the name leads back to this definition: should the
      // tree be normalised after all, a named token is looked up by name.
      if (token != nullptr && tokutil_find_stoken_by_name(conv_.tokens, token->name) != token) token = nullptr;
      if (token != nullptr) {
        node = create_text_node(cursor, kLineTerminalNode, token->name);
      } else {
        // The first such id in the body that a later attempt read again.
        if (!unresolved_token_ || position <= unknown_offset_) {
          unknown_offset_ = position;
          unknown_id_ = id;
          unknown_path_ = path_;
        }
        unresolved_token_ = true;
        node = create_node(cursor, kLineTerminalNode);
      }
      if (node == nullptr) return false;
      node->value = id;
      position += 4;
    } else {
      return false;
    }
    node->type = kind - BNFT_LITERAL;
    node->bnf_entry = entry;
    position_ = position;
    return true;
  }

  // A block: token id, size, name length and name, then the content up to
  // the block's end. Bytes of the block that the content leaves are not
  // skipped. A block must lie wholly inside the block that encloses it: the
  // writer never puts one elsewhere, and a block accepted past that end would
  // swallow the enclosing block's following sibling in recursive grammars.
  bool match_block(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, sUInt block_end) {
    sShapeItemNode* parent = create_node(cursor, kLineBlockNode);
    if (parent == nullptr) return false;
    parent->type = SHN_PARENT;
    parent->bnf_entry = entry;
    sShapeItemNode* local = parent;

    sUInt position = position_;
    const sShapeTokenDef* token = find_token(def->text);
    if (token != nullptr) {
      if (position >= block_end) return passed_end_of_block(BNFT_LITERAL, def->text, block_end);
      if (bytes_left(position) < 4 || get_le32(body_ + position) != token->id) {
        return refused(position, BNFT_LITERAL, def->text, block_end);
      }
      position += 4;
    }
    sShapeItemNode* name = create_text_node(&local, kLineTerminalNode, def->text);
    if (name == nullptr) return false;
    name->bnf_entry = entry;

    if (bytes_left(position) < 4) return refused(position, kExpectBlockSize, def->text, block_end);
    const std::uint64_t end = std::uint64_t(position) + 4 + get_le32(body_ + position);
    if (end > size_ || end > block_end) return refused(position, kExpectBlockSize, def->text, block_end);
    const sUInt inner_end = sUInt(end);
    position += 4;

    if (bytes_left(position) < 1) return refused(position, kExpectBlockNameUnits, def->text, inner_end);
    const sUInt name_units = body_[position];
    if (bytes_left(position) - 1 < 2 * name_units || holds_zero_unit(body_ + position + 1, name_units)) {
      return refused(position, kExpectBlockNameUnits, def->text, inner_end);
    }
    if (name_units != 0) {
      if (create_body_text_node(&local, kLineBlockNameNode, body_ + position + 1, name_units) == nullptr) return false;
    }
    const sUInt name_at = position;
    position_ = position + 1 + 2 * name_units;

    if (create_text_node(&local, kLineOpenNode, u"(") == nullptr) return false;
    path_.push_back(sBlockFrame{def->text, name_at, ++block_serial_});
    const bool content = match_sequence(def, &local, inner_end);
    path_.pop_back();
    if (!content) return false;
    return create_text_node(&local, kLineCloseNode, u")") != nullptr;
  }

 private:
  // Bytes of the body from `position` on.
  sUInt bytes_left(sUInt position) const { return position < size_ ? size_ - position : 0; }

  static std::u16string word_number(sUInt value) {
    char16_t text[16];
    format_text_n(text, 16, u"%u", value);
    return text;
  }

  static std::u16string word_hex(sUInt value) {
    char16_t text[16];
    format_text_n(text, 16, u"0x%08X", value);
    return text;
  }

  // What stands at `offset`: the end of the body or of the block, or the
  // next four bytes as a number, with the token name of that id if any.
  std::u16string word_found(sUInt offset, sUInt block_end) const {
    const sUInt left = bytes_left(offset);
    if (left == 0) return u"end of file";
    if (offset >= block_end) return u"end of block";
    if (left < 4) {
      std::u16string bytes;
      for (sUInt i = 0; i < left; ++i) {
        char16_t text[8];
        format_text_n(text, 8, i == 0 ? u"%02X" : u" %02X", body_[offset + i]);
        bytes += text;
      }
      return u"end of file after " + bytes;
    }
    const sUInt first = refusals().any() && refusals().point() == offset ? refusals().item(0).kind : BNFT_TOKENDEF;
    if (first == BNFT_STRING || first == kExpectBlockNameUnits) {
      // A length (two bytes for a string, one for a block name) and units.
      const sUInt length_bytes = first == BNFT_STRING ? 2 : 1;
      const sUInt units = first == BNFT_STRING ? get_le16(body_ + offset) : body_[offset];
      const sUInt end = first == BNFT_STRING && block_end < size_ ? block_end : size_;
      const bool fits = std::uint64_t(offset) + length_bytes + 2 * units <= end;
      return (first == BNFT_STRING ? u"a string of " : u"a name of ") + word_number(units) +
             (fits ? u" units holding U+0000" : u" units that runs past its end");
    }
    const sUInt value = get_le32(body_ + offset);
    if (first == kExpectBlockSize) {
      return u"a size of " + word_number(value) +
             (std::uint64_t(offset) + 4 + value > size_ ? u", past the end of the file" : u", past the end of the enclosing block");
    }
    const sShapeTokenDef* token = tokutil_find_stoken_by_id(conv_.tokens, value);
    if (token != nullptr && token->name != nullptr) return quote_found(token->name) + u" (" + word_hex(value) + u")";
    return word_hex(value);
  }

  // Each block as its token name and its block name, when it has one.
  void word_path(const std::vector<sBlockFrame>& path, sReadDiagnosis& d) const {
    for (const sBlockFrame& frame : path) {
      std::u16string block = frame.token != nullptr ? frame.token : u"";
      const sUInt units = body_[frame.name_at];
      if (units != 0) {
        block += u' ';
        for (sUInt i = 0; i < units; ++i) block += char16_t(get_le16(body_ + frame.name_at + 1 + 2 * i));
      }
      d.blocks.push_back(std::move(block));
    }
  }

  bool passed_end_of_block(sUInt kind, const char16_t* text, sUInt block_end) {
    report_at(conv_.rep, kModuleShpFile, kLinePassedEndOfBlock, kPassedEndOfBlock, kLinePassedEndOfBlock);
    return refused(position_, kind, text, block_end);
  }

  // A terminal refused at `position`, inside a block that ends at
  // `block_end`; the blocks around the furthest refusal are kept.
  bool refused(sUInt position, sUInt kind, const char16_t* text, sUInt block_end) {
    if (refuse(position, kind, text)) {
      refused_end_ = block_end;
      keep_path(refused_path_);
    }
    return false;
  }

  // Copies the blocks entered now, unless `kept` holds them already (a
  // block's serial is never given again, so the innermost tells).
  void keep_path(std::vector<sBlockFrame>& kept) const {
    if (kept.size() == path_.size() && (path_.empty() || kept.back().serial == path_.back().serial)) return;
    kept = path_;
  }

  const sShapeTokenDef* find_token(const char16_t* name) {
    if (name == nullptr) return nullptr;
    auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(name));
    sUInt slot = static_cast<sUInt>((key * 0x9E3779B97F4A7C15ull) >> 40) & (kIdCacheSlots - 1);
    sIdCacheSlot& entry = id_cache_[slot];
    if (entry.name != name) {
      entry.name = name;
      entry.token = tokutil_find_stoken_by_name(conv_.tokens, name);
    }
    return entry.token;
  }

  // A node at the cursor whose text is `count` little-endian UTF-16 units
  // of the body, which need not be aligned for char16_t (the copy is
  // bytewise); none, with nothing linked, when memory runs out.
  sShapeItemNode* create_body_text_node(sShapeItemNode** cursor, sUInt line, const sByte* units, sUInt count) {
    sShapeItemNode* node = shape_node_create_text(cursor, reinterpret_cast<const char16_t*>(units), count, arena_);
    if (node == nullptr) {
      abort_read(kNodeNotCreated, line);
      return nullptr;
    }
    if constexpr (std::endian::native == std::endian::big) {
      for (sUInt i = 0; i < count; ++i) node->text[i] = char16_t(get_le16(units + 2 * i));
    }
    return node;
  }

  sShapeItemNode* create_text_node(sShapeItemNode** cursor, sUInt line, const char16_t* text) {
    if (text == nullptr) text = u"";
    sShapeItemNode* node = shape_node_create_text(cursor, text, wstr_len(text), arena_);
    if (node == nullptr) abort_read(kNodeNotCreated, line);
    return node;
  }

  sShapeItemNode* create_node(sShapeItemNode** cursor, sUInt line) {
    sShapeItemNode* node = shape_node_create(cursor, arena_);
    if (node == nullptr) abort_read(kNodeNotCreated, line);
    return node;
  }

  // A number terminal, once the block end has been tested: its value goes
  // into the tree as it is (the text writer formats it).
  bool match_number(const sBNFSubtoken* entry, sUInt kind, sShapeItemNode** cursor, sUInt block_end) {
    const sUInt position = position_;
    const sUInt size = kind == BNFT_BYTE ? 1 : 4;
    if (bytes_left(position) < size) return refused(position, kind, nullptr, block_end);
    const sByte* bytes = body_ + position;
    const sUInt value = size == 1 ? bytes[0] : get_le32(bytes);
    if (shape_number_append(cursor, entry, kind - BNFT_LITERAL, value, arena_) == nullptr) {
      abort_read(kNodeNotCreated, kLineTerminalNode);
      return false;
    }
    position_ = position + size;
    return true;
  }

  sConversion& conv_;
  sShapeArena* arena_;
  const sByte* body_;
  sUInt size_;
  sUInt position_;
  // Where the read started and the furthest position any attempt reached,
  // with the attempts made, for the attempt budget.
  sUInt start_;
  sUInt furthest_;
  std::uint64_t attempts_ = 0;
  // A token id read on the way has no definition: the first of them, and
  // the blocks it is in.
  bool unresolved_token_ = false;
  sUInt unknown_offset_ = 0;
  sUInt unknown_id_ = 0;
  std::vector<sBlockFrame> unknown_path_;
  // The blocks the read is in now, and those around the furthest refusal
  // with the end of its innermost (kNoBlockEnd at the top); where the read
  // was aborted and its blocks.
  std::vector<sBlockFrame> path_;
  sUInt block_serial_ = 0;
  std::vector<sBlockFrame> refused_path_;
  sUInt refused_end_ = kNoBlockEnd;
  sUInt stop_offset_ = 0;
  std::vector<sBlockFrame> stop_path_;
  sIdCacheSlot id_cache_[kIdCacheSlots];
};

}  // namespace

int match_binary(sConversion& conv, sShapeArena* arena, const sByte* body, sUInt size, sUInt* position,
                 const sBNFSubtoken* entry, sShapeItemNode** cursor, int* tokens_resolved) {
  BinaryReader reader(conv, arena, body, size, *position);
  const bool matched = reader.walk(entry, cursor, kNoBlockEnd);
  reader.diagnose(matched);
  *position = reader.position();
  if (tokens_resolved != nullptr) *tokens_resolved = reader.unresolved_tokens() ? 0 : 1;
  return matched ? 1 : 0;
}
