#include "shape/binary_reader.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "bnf/bnf_model.h"
#include "common/report.h"
#include "common/strings.h"
#include "shape/shape_tree.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

const sByte* body_buffer = nullptr;
sUInt body_buffer_size = 0;
sUInt read_position = 0;

namespace {

constexpr char16_t kNullDefinition[] = u"NULL sBNFTokenDef pointer [ShpFile %d]\n";
constexpr char16_t kNullCursor[] = u"NULL previous item reference [ShpFile %d]\n";
constexpr char16_t kInternalError[] = u"Internal error [BNFParse %d]\n";
constexpr char16_t kPassedEndOfBlock[] = u"Passed end of block [ShpFile %d]\n";
constexpr char16_t kNodeNotCreated[] = u"Failed to create new shape item node [ShpFile %d]\n";
constexpr char16_t kTooDeep[] = u"Binary data nested deeper than %u grammar levels [ShpFile %d]\n";

constexpr char16_t kTraceMatched[] = u"BNFParse bin match (%d) mem:%s eob:%d %s: %s\n";
constexpr char16_t kTraceNotMatched[] = u"*BNFParse bin NO match (%d) mem:%s eob:%d %s: %s\n";
constexpr char16_t kSubConstruct[] = u"(sub-construct)";
constexpr char16_t kConstructMemory[] = u"--------";

constexpr sUInt kLineNullDefinition = 968;
constexpr sUInt kLineNullCursor = 974;
constexpr sUInt kLineTooDeep = 980;
constexpr sUInt kLinePassedEndOfBlock = 1040;
constexpr sUInt kLineTerminalNode = 1051;
constexpr sUInt kLineArrayNode = 1190;
constexpr sUInt kLineBlockNode = 1238;
constexpr sUInt kLineBlockNameNode = 1273;
constexpr sUInt kLineOpenNode = 1287;
constexpr sUInt kLineCloseNode = 1310;
constexpr sUInt kLineInternalError = 1343;

// One saved read_position per attempt in progress; its bound is the nesting
// limit of the reader.
sUInt position_stack[kMaxMatchDepth];
sUInt position_stack_top = 0;

// Set when the read can no longer give a sound tree (nesting too deep,
// memory exhausted). Optional parts and repetitions would otherwise take
// such a failure for an ordinary mismatch and succeed with data missing;
// instead every attempt fails until the outermost one returns.
bool read_aborted = false;

// Backtracking may read the same bytes over and over: a grammar whose rules
// each try the next rule twice makes 2^n attempts before it takes a byte,
// and forty such lines would keep a read busy for days. A read may make this
// many attempts, and kAttemptsPerByte more for each byte up to the furthest
// position it has reached; beyond that it fails. Real grammars make a
// handful of attempts per value.
constexpr std::uint64_t kAttemptBase = std::uint64_t(1) << 24;
constexpr std::uint64_t kAttemptsPerByte = 1024;
constexpr sUInt kLineTooManyAttempts = 982;
constexpr char16_t kTooManyAttempts[] = u"Too many attempts to match the binary data [ShpFile %d]\n";
std::uint64_t attempts = 0;
sUInt start_position = 0;
sUInt furthest_position = 0;

// Token ids of grammar words, looked up once per read: a block's id is
// compared every time the block is tried, and a table lookup by name is far
// dearer than a probe here. Keyed by the grammar's own text, which stays put
// while the grammar is loaded.
struct sIdCacheSlot {
  const char16_t* name;
  const sShapeTokenDef* token;
};
constexpr sUInt kIdCacheSlots = 512;
sIdCacheSlot id_cache[kIdCacheSlots];

// Set for match_binary_resolving: token values get their names as they are
// read, and any id without a definition is noted.
bool resolving_tokens = false;
bool unresolved_token = false;

void begin_read() {
  read_aborted = false;
  attempts = 0;
  start_position = furthest_position = read_position;
  std::memset(id_cache, 0, sizeof id_cache);
}

const sShapeTokenDef* find_token(const char16_t* name) {
  if (name == nullptr) return nullptr;
  auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(name));
  sUInt slot = static_cast<sUInt>((key * 0x9E3779B97F4A7C15ull) >> 40) & (kIdCacheSlots - 1);
  sIdCacheSlot& entry = id_cache[slot];
  if (entry.name != name) {
    entry.name = name;
    entry.token = tokutil_find_stoken_by_name(name);
  }
  return entry.token;
}

sUInt load_u32(const sByte* p) {
  return sUInt(p[0]) | (sUInt(p[1]) << 8) | (sUInt(p[2]) << 16) | (sUInt(p[3]) << 24);
}

sUInt load_u16(const sByte* p) { return sUInt(p[0]) | (sUInt(p[1]) << 8); }

// Bytes of the body from `position` on.
sUInt bytes_left(sUInt position) { return position < body_buffer_size ? body_buffer_size - position : 0; }

void report_line(const char16_t* message, sUInt line) { report_at(kModuleShpFile, line, message, line); }

void abort_read(const char16_t* message, sUInt line) {
  report_line(message, line);
  read_aborted = true;
}

// Texts end at their first zero unit, and no text form can hold one: a
// string or block name with a zero unit would lose its rest without notice
// on its way to text, so it does not match.
bool holds_zero_unit(const sByte* units, sUInt count) {
  for (sUInt i = 0; i < count; ++i) {
    if ((units[2 * i] | units[2 * i + 1]) == 0) return true;
  }
  return false;
}

// A node at the cursor whose text is `count` little-endian UTF-16 units of
// the body, which need not be aligned for char16_t (the copy is bytewise);
// none, with nothing linked, when memory runs out.
sShapeItemNode* create_body_text_node(sShapeItemNode** cursor, sUInt line, const sByte* units, sUInt count) {
  sShapeItemNode* node = shape_node_create_text(cursor, reinterpret_cast<const char16_t*>(units), count);
  if (node == nullptr) {
    abort_read(kNodeNotCreated, line);
    return nullptr;
  }
  if constexpr (std::endian::native == std::endian::big) {
    for (sUInt i = 0; i < count; ++i) node->text[i] = char16_t(load_u16(units + 2 * i));
  }
  return node;
}

sShapeItemNode* create_text_node(sShapeItemNode** cursor, sUInt line, const char16_t* text) {
  if (text == nullptr) text = u"";
  sShapeItemNode* node = shape_node_create_text(cursor, text, wstr_len(text));
  if (node == nullptr) abort_read(kNodeNotCreated, line);
  return node;
}

sShapeItemNode* create_node(sShapeItemNode** cursor, sUInt line) {
  sShapeItemNode* node = shape_node_create(cursor);
  if (node == nullptr) abort_read(kNodeNotCreated, line);
  return node;
}

// The text normalisation would give a number node of this kind and value.
sUInt format_number_text(sUInt kind, sUInt value, char16_t* text) {
  switch (kind) {
    case BNFT_SINT: return format_sint_text(static_cast<sInt>(value), text);
    case BNFT_UINT: return format_uint_text(value, text);
    case BNFT_DWORD: return format_dword_text(value, text);
    case BNFT_BYTE: return format_byte_text(value, text);
    default: {
      float f;
      std::memcpy(&f, &value, sizeof f);
      return format_float_text(f, text);
    }
  }
}

// A number terminal at read_position, once the block end has been tested.
// It gets its text here, in the node's own block, rather than in a separate
// block when the tree is normalised: one allocation instead of two, and a
// smaller tree.
int match_number(const sBNFSubtoken* entry, sUInt kind, sShapeItemNode** cursor) {
  const sUInt position = read_position;
  const sUInt size = kind == BNFT_BYTE ? 1 : 4;
  if (bytes_left(position) < size) return 0;
  const sByte* bytes = body_buffer + position;
  const sUInt value = size == 1 ? bytes[0] : load_u32(bytes);
  char16_t text[kValueTextUnits];
  const sUInt length = format_number_text(kind, value, text);
  sShapeItemNode* node = shape_node_create_text(cursor, text, length);
  if (node == nullptr) {
    abort_read(kNodeNotCreated, kLineTerminalNode);
    return 0;
  }
  node->value = value;
  node->type = kind - BNFT_LITERAL;
  node->bnf_entry = entry;
  read_position = position + size;
  return 1;
}

// Terminals: a grammar word (its token id, or nothing when it names no
// token) or one value. The bound is tested only where the terminal starts,
// the body's end for every byte it reads.
int match_terminal(const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor, sUInt block_end) {
  const sUInt kind = def->type;
  sUInt position = read_position;
  const sUInt available = bytes_left(position);

  if (kind == BNFT_LITERAL) {
    const sShapeTokenDef* token = find_token(def->text);
    if (token != nullptr) {
      if (position >= block_end) {
        report_line(kPassedEndOfBlock, kLinePassedEndOfBlock);
        return 0;
      }
      if (available < 4 || load_u32(body_buffer + position) != token->id) return 0;
      position += 4;
    }
    sShapeItemNode* node = create_text_node(cursor, kLineTerminalNode, def->text);
    if (node == nullptr) return 0;
    node->bnf_entry = entry;
    read_position = position;
    return 1;
  }

  if (position >= block_end) {
    report_line(kPassedEndOfBlock, kLinePassedEndOfBlock);
    return 0;
  }
  const sByte* bytes = body_buffer + position;
  sShapeItemNode* node = nullptr;
  if (kind == BNFT_STRING) {
    if (available < 2) return 0;
    const sUInt units = load_u16(bytes);
    if (available - 2 < 2 * units || holds_zero_unit(bytes + 2, units)) return 0;
    node = create_body_text_node(cursor, kLineTerminalNode, bytes + 2, units);
    if (node == nullptr) return 0;
    position += 2 + 2 * units;
  } else if (kind == BNFT_TOKEN) {
    // Its name is looked up here for match_binary_resolving, else when the
    // tree is normalised.
    if (available < 4) return 0;
    const sUInt id = load_u32(bytes);
    const sShapeTokenDef* token = resolving_tokens ? tokutil_find_stoken_by_id(id) : nullptr;
    // Named only when the name leads back to this definition: should the
    // tree be normalised after all, a named token is looked up by name.
    if (token != nullptr && tokutil_find_stoken_by_name(token->name) != token) token = nullptr;
    if (token != nullptr) {
      node = create_text_node(cursor, kLineTerminalNode, token->name);
    } else {
      if (resolving_tokens) unresolved_token = true;
      node = create_node(cursor, kLineTerminalNode);
    }
    if (node == nullptr) return 0;
    node->value = id;
    position += 4;
  } else {
    return match_number(entry, kind, cursor);
  }
  node->type = kind - BNFT_LITERAL;
  node->bnf_entry = entry;
  read_position = position;
  return 1;
}

// Counts an attempt at read_position; false, with the read aborted, when
// the read has made too many.
bool count_attempt() {
  if (read_position > furthest_position) furthest_position = read_position;
  if (++attempts > kAttemptBase + kAttemptsPerByte * (furthest_position - start_position)) {
    abort_read(kTooManyAttempts, kLineTooManyAttempts);
    return false;
  }
  return true;
}

// match_binary for an element of a construct. A terminal needs no attempt
// record of its own: it links nothing and moves nothing when it fails. So
// below the nesting limit, in a read not aborted, it is counted and matched
// directly; the outcome is the same, and values in arrays cost far less.
int match_element(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor, sUInt block_end) {
  const sBNFTokenDef* def = entry->def;
  if (def != nullptr && bnf_is_terminal(def->type) && !read_aborted && position_stack_top < kMaxMatchDepth &&
      *cursor != nullptr) {
    if (!count_attempt()) return 0;
    // Numbers, nearly all of a body, take the short way.
    if (def->type >= BNFT_SINT && def->type <= BNFT_FLOAT) {
      if (read_position >= block_end) {
        report_line(kPassedEndOfBlock, kLinePassedEndOfBlock);
        return 0;
      }
      return match_number(entry, def->type, cursor);
    }
    return match_terminal(entry, def, cursor, block_end);
  }
  return match_binary(table, entry, cursor, block_end);
}

// A block: token id, size, name length and name, then the content up to
// the block's end. Bytes of the block that the content leaves are not
// skipped. A block must lie wholly inside the block that encloses it: the
// writer never puts one elsewhere, and a block accepted past that end would
// swallow the enclosing block's following sibling in recursive grammars.
int match_block(sBNFTable* table, const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor,
                sUInt block_end) {
  sShapeItemNode* parent = create_node(cursor, kLineBlockNode);
  if (parent == nullptr) return 0;
  parent->type = SHN_PARENT;
  parent->bnf_entry = entry;
  sShapeItemNode* local = parent;

  sUInt position = read_position;
  const sShapeTokenDef* token = find_token(def->text);
  if (token != nullptr) {
    if (position >= block_end) {
      report_line(kPassedEndOfBlock, kLinePassedEndOfBlock);
      return 0;
    }
    if (bytes_left(position) < 4 || load_u32(body_buffer + position) != token->id) return 0;
    position += 4;
  }
  sShapeItemNode* name = create_text_node(&local, kLineTerminalNode, def->text);
  if (name == nullptr) return 0;
  name->bnf_entry = entry;

  if (bytes_left(position) < 4) return 0;
  const std::uint64_t end = std::uint64_t(position) + 4 + load_u32(body_buffer + position);
  if (end > body_buffer_size || end > block_end) return 0;
  const sUInt inner_end = sUInt(end);
  position += 4;

  if (bytes_left(position) < 1) return 0;
  const sUInt name_units = body_buffer[position];
  if (bytes_left(position) - 1 < 2 * name_units || holds_zero_unit(body_buffer + position + 1, name_units)) return 0;
  if (name_units != 0) {
    if (create_body_text_node(&local, kLineBlockNameNode, body_buffer + position + 1, name_units) == nullptr) return 0;
  }
  read_position = position + 1 + 2 * name_units;

  if (create_text_node(&local, kLineOpenNode, u"(") == nullptr) return 0;
  for (sUInt i = 0; i < def->subtoken_count; ++i) {
    if (!match_element(table, &def->subtokens[i], &local, inner_end)) return 0;
  }
  return create_text_node(&local, kLineCloseNode, u")") != nullptr;
}

// Iterations of a repetition or array, each linked at `cursor`. An iteration
// that fails part-way is undone entirely (bytes and nodes); one that matched
// without consuming a byte ends the repetition, since repeating it could
// never end.
int match_iterations(sBNFTable* table, const sBNFTokenDef* def, sShapeItemNode** cursor, sUInt block_end) {
  if (def->subtoken_count == 0) return 0;
  sUInt iterations = 0;
  for (;;) {
    const sShapeMark start = shape_tree_mark(*cursor);
    const sUInt start_position = read_position;
    bool complete = true;
    for (sUInt i = 0; i < def->subtoken_count; ++i) {
      if (!match_element(table, &def->subtokens[i], cursor, block_end)) {
        complete = false;
        break;
      }
    }
    if (!complete) {
      shape_tree_undo(cursor, start);
      read_position = start_position;
      break;
    }
    ++iterations;
    if (read_position == start_position) break;
  }
  return iterations != 0 && !read_aborted;
}

int match_construct(sBNFTable* table, const sBNFSubtoken* entry, const sBNFTokenDef* def, sShapeItemNode** cursor,
                    sUInt block_end, sUInt saved_position) {
  switch (def->type) {
    case BNFT_TOKENDEF:
      return match_block(table, entry, def, cursor, block_end);
    case BNFT_RULEDEF:
    case BNFT_CON_GROUP:
      if (def->subtoken_count == 0) return 0;
      for (sUInt i = 0; i < def->subtoken_count; ++i) {
        if (!match_element(table, &def->subtokens[i], cursor, block_end)) return 0;
      }
      return 1;
    case BNFT_CON_OPTIONAL: {
      if (def->subtoken_count == 0) return 0;
      const sShapeMark saved = shape_tree_mark(*cursor);
      for (sUInt i = 0; i < def->subtoken_count; ++i) {
        if (!match_element(table, &def->subtokens[i], cursor, block_end)) {
          shape_tree_undo(cursor, saved);
          read_position = saved_position;
          return !read_aborted;
        }
      }
      return 1;
    }
    case BNFT_CON_REPEAT:
      return match_iterations(table, def, cursor, block_end);
    case BNFT_CON_ARRAY: {
      if (def->subtoken_count == 0) return 0;
      const sShapeMark saved = shape_tree_mark(*cursor);
      sShapeItemNode* parent = create_node(cursor, kLineArrayNode);
      if (parent == nullptr) return 0;
      parent->type = SHN_PARENT;
      parent->bnf_entry = entry;
      sShapeItemNode* local = parent;
      if (!match_iterations(table, def, &local, block_end)) return 0;
      // Iterations that matched without a node leave the array empty. An
      // empty parent at the cursor would take whatever is linked next as
      // its child, so it is dropped; both writers skip it anyway.
      if (parent->child == nullptr) shape_tree_undo(cursor, saved);
      return 1;
    }
    case BNFT_CON_CHOICE:
      for (sUInt i = 0; i < def->subtoken_count; ++i) {
        if (match_element(table, &def->subtokens[i], cursor, block_end)) return 1;
        if (read_aborted) return 0;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace

sUInt binary_reader_stack_depth() { return position_stack_top; }

int match_binary_resolving(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor, sUInt block_end,
                           int* tokens_resolved) {
  resolving_tokens = true;
  unresolved_token = false;
  const int matched = match_binary(table, entry, cursor, block_end);
  resolving_tokens = false;
  if (tokens_resolved != nullptr) *tokens_resolved = unresolved_token ? 0 : 1;
  return matched;
}

int match_binary(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor, sUInt block_end) {
  const sBNFTokenDef* def = entry != nullptr ? entry->def : nullptr;
  if (def == nullptr) {
    report_line(kNullDefinition, kLineNullDefinition);
    return 0;
  }
  if (cursor == nullptr || *cursor == nullptr) {
    report_line(kNullCursor, kLineNullCursor);
    return 0;
  }
  const bool outermost = position_stack_top == 0;
  if (outermost) begin_read();
  if (read_aborted) return 0;
  if (!count_attempt()) return 0;
  if (position_stack_top == kMaxMatchDepth) {
    report_at(kModuleShpFile, kLineTooDeep, kTooDeep, kMaxMatchDepth, kLineTooDeep);
    read_aborted = true;
    return 0;
  }
  const sUInt saved_position = read_position;
  position_stack[position_stack_top++] = saved_position;

  // A terminal links nothing when it fails: only constructs are undone.
  const bool terminal = bnf_is_terminal(def->type);
  const sShapeMark saved = terminal ? sShapeMark{} : shape_tree_mark(*cursor);
  int matched = 0;
  if (terminal) {
    matched = match_terminal(entry, def, cursor, block_end);
  } else if (def->type <= BNFT_CON_CHOICE) {
    matched = match_construct(table, entry, def, cursor, block_end, saved_position);
  } else {
    report_line(kInternalError, kLineInternalError);
  }
  // Whatever an attempt matched before the read was aborted is not kept.
  if (matched && outermost && read_aborted) matched = 0;

  const int offset = static_cast<int>(read_position);
  const int eob = block_end == kNoBlockEnd ? 0 : static_cast<int>(block_end);
  const char16_t* text = def->text != nullptr ? def->text : kSubConstruct;
  const char16_t* memory = terminal ? u"" : kConstructMemory;
  if (matched) {
    debug_trace(0, kTraceMatched, offset, memory, eob, u"", text);
    --position_stack_top;
    return 1;
  }
  if (!terminal) shape_tree_undo(cursor, saved);
  debug_trace(0, kTraceNotMatched, offset, memory, eob, u"", text);
  read_position = position_stack[--position_stack_top];
  return 0;
}
