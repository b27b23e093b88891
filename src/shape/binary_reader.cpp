// Matching a binary body against a grammar: the shared grammar walker over
// the bytes of the body. An attempt saves the read position; a failed
// attempt sets it back.
#include "shape/binary_reader.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "bnf/bnf_model.h"
#include "common/byte_order.h"
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

  BinaryReader(sConversion& conv, sShapeArena* arena, const sByte* body, sUInt size, sUInt position)
      : conv_(conv), arena_(arena), body_(body), size_(size), position_(position), start_(position),
        furthest_(position) {
    std::memset(id_cache_, 0, sizeof id_cache_);
  }

  sShapeArena* arena() { return arena_; }
  sReporter& rep() { return conv_.rep; }
  sUInt position() const { return position_; }
  bool unresolved_tokens() const { return unresolved_token_; }

  Point save() const { return position_; }
  void restore(Point position) { position_ = position; }
  void drop(Point) {}
  sUInt progress() const { return position_; }

  bool count_attempt() {
    if (position_ > furthest_) furthest_ = position_;
    if (++attempts_ > kAttemptBase + kAttemptsPerByte * (furthest_ - start_)) {
      abort_read(u"Too many attempts to match the binary data [ShpFile %d]\n", kLineTooManyAttempts);
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
      if (position_ >= block_end) return passed_end_of_block();
      return match_number(entry, kind, cursor);
    }
    sUInt position = position_;
    const sUInt available = bytes_left(position);

    if (kind == BNFT_LITERAL) {
      const sShapeTokenDef* token = find_token(def->text);
      if (token != nullptr) {
        if (position >= block_end) return passed_end_of_block();
        if (available < 4 || get_le32(body_ + position) != token->id) return false;
        position += 4;
      }
      sShapeItemNode* node = create_text_node(cursor, kLineTerminalNode, def->text);
      if (node == nullptr) return false;
      node->bnf_entry = entry;
      position_ = position;
      return true;
    }

    if (position >= block_end) return passed_end_of_block();
    const sByte* bytes = body_ + position;
    sShapeItemNode* node = nullptr;
    if (kind == BNFT_STRING) {
      if (available < 2) return false;
      const sUInt units = get_le16(bytes);
      if (available - 2 < 2 * units || holds_zero_unit(bytes + 2, units)) return false;
      node = create_body_text_node(cursor, kLineTerminalNode, bytes + 2, units);
      if (node == nullptr) return false;
      position += 2 + 2 * units;
    } else if (kind == BNFT_TOKEN) {
      if (available < 4) return false;
      const sUInt id = get_le32(bytes);
      const sShapeTokenDef* token = tokutil_find_stoken_by_id(conv_.tokens, id);
      // Named only when the name leads back to this definition: should the
      // tree be normalised after all, a named token is looked up by name.
      if (token != nullptr && tokutil_find_stoken_by_name(conv_.tokens, token->name) != token) token = nullptr;
      if (token != nullptr) {
        node = create_text_node(cursor, kLineTerminalNode, token->name);
      } else {
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
      if (position >= block_end) return passed_end_of_block();
      if (bytes_left(position) < 4 || get_le32(body_ + position) != token->id) return false;
      position += 4;
    }
    sShapeItemNode* name = create_text_node(&local, kLineTerminalNode, def->text);
    if (name == nullptr) return false;
    name->bnf_entry = entry;

    if (bytes_left(position) < 4) return false;
    const std::uint64_t end = std::uint64_t(position) + 4 + get_le32(body_ + position);
    if (end > size_ || end > block_end) return false;
    const sUInt inner_end = sUInt(end);
    position += 4;

    if (bytes_left(position) < 1) return false;
    const sUInt name_units = body_[position];
    if (bytes_left(position) - 1 < 2 * name_units || holds_zero_unit(body_ + position + 1, name_units)) return false;
    if (name_units != 0) {
      if (create_body_text_node(&local, kLineBlockNameNode, body_ + position + 1, name_units) == nullptr) return false;
    }
    position_ = position + 1 + 2 * name_units;

    if (create_text_node(&local, kLineOpenNode, u"(") == nullptr) return false;
    if (!match_sequence(def, &local, inner_end)) return false;
    return create_text_node(&local, kLineCloseNode, u")") != nullptr;
  }

 private:
  // Bytes of the body from `position` on.
  sUInt bytes_left(sUInt position) const { return position < size_ ? size_ - position : 0; }

  bool passed_end_of_block() {
    report_at(conv_.rep, kModuleShpFile, kLinePassedEndOfBlock, kPassedEndOfBlock, kLinePassedEndOfBlock);
    return false;
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
  bool match_number(const sBNFSubtoken* entry, sUInt kind, sShapeItemNode** cursor) {
    const sUInt position = position_;
    const sUInt size = kind == BNFT_BYTE ? 1 : 4;
    if (bytes_left(position) < size) return false;
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
  // A token id read on the way has no definition.
  bool unresolved_token_ = false;
  sIdCacheSlot id_cache_[kIdCacheSlots];
};

}  // namespace

int match_binary(sConversion& conv, sShapeArena* arena, const sByte* body, sUInt size, sUInt* position,
                 const sBNFSubtoken* entry, sShapeItemNode** cursor, int* tokens_resolved) {
  BinaryReader reader(conv, arena, body, size, *position);
  const bool matched = reader.walk(entry, cursor, kNoBlockEnd);
  *position = reader.position();
  if (tokens_resolved != nullptr) *tokens_resolved = reader.unresolved_tokens() ? 0 : 1;
  return matched ? 1 : 0;
}
