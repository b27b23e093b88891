#include "shape/shape_tree.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/memory.h"
#include "common/report.h"
#include "common/strings.h"
#include "platform/platform.h"
#include "shape/value_text.h"
#include "tables/stoken.h"

// The arena: a chain of slabs used as one stack. Slabs are heap blocks, so a
// whole tree that is never released still shows as a leak.
struct alignas(8) sArenaSlab {  // its data behind it starts 8-aligned on every platform
  sArenaSlab* next;  // the slab the stack continues in (kept after a set-back)
  sUInt capacity;    // bytes of room behind the record
  sUInt used;
  sUInt mapped;      // bytes from the start whose pages were mapped ahead of use
  sUInt unused;
};

struct sShapeArena {
  sArenaSlab* first;
  sArenaSlab* current;
  sUInt next_capacity;
  // The slabs addresses were last found in: a walk over a tree meets its
  // nodes in the order they were made, mostly in one slab after another,
  // and the texts given to them later in a slab of their own.
  sArenaSlab* last_hit;
  sArenaSlab* other_hit;
  sByte* adopted;
  sUInt adopted_size;
};

namespace {

constexpr sUInt kFirstSlabBytes = 64 * 1024;
constexpr sUInt kLargestSlabBytes = 32 * 1024 * 1024;
constexpr sUInt kArenaAlign = 8;

static_assert(sizeof(sArenaSlab) % kArenaAlign == 0);

sByte* slab_data(sArenaSlab* slab) { return reinterpret_cast<sByte*>(slab + 1); }

bool slab_holds(sArenaSlab* slab, const void* p) {
  const auto* b = static_cast<const sByte*>(p);
  return b >= slab_data(slab) && b < slab_data(slab) + slab->capacity;
}

bool adopted_holds(const sShapeArena* arena, const void* p) {
  const auto* b = static_cast<const sByte*>(p);
  return arena->adopted != nullptr && b >= arena->adopted && b < arena->adopted + arena->adopted_size;
}

bool arena_holds(sShapeArena* arena, const void* p) {
  if (arena->last_hit != nullptr && slab_holds(arena->last_hit, p)) return true;
  if (arena->other_hit != nullptr && slab_holds(arena->other_hit, p)) {
    std::swap(arena->last_hit, arena->other_hit);
    return true;
  }
  if (adopted_holds(arena, p)) return true;
  for (sArenaSlab* slab = arena->first; slab != nullptr; slab = slab->next) {
    if (slab_holds(slab, p)) {
      arena->other_hit = arena->last_hit;
      arena->last_hit = slab;
      return true;
    }
  }
  return false;
}

// Room for `size` bytes on top of the stack, or null when memory is
// exhausted. A slab left behind by a set-back is used again when the
// request fits it.
void* arena_allocate_slab(sShapeArena* arena, std::uint64_t size);

// A slab is filled from its start on: its pages are mapped a stretch at a
// time just ahead of the top, one call for many pages where touching them
// would take a fault for each, and never far beyond what is used.
constexpr sUInt kMapAheadBytes = 2 * 1024 * 1024;

void map_ahead(sArenaSlab* slab) {
  while (slab->used > slab->mapped) {
    const sUInt room = slab->capacity - slab->mapped;
    const sUInt stretch = room < kMapAheadBytes ? room : kMapAheadBytes;
    platform::prefault_memory(slab_data(slab) + slab->mapped, stretch);
    slab->mapped += stretch;
  }
}

// The top may stand anywhere after a run grew by single values: a block
// starts at the next multiple of kArenaAlign.
inline void* arena_allocate(sShapeArena* arena, std::uint64_t size) {
  size = (size + kArenaAlign - 1) & ~std::uint64_t{kArenaAlign - 1};
  sArenaSlab* slab = arena->current;
  if (slab != nullptr) {
    const sUInt at = (slab->used + kArenaAlign - 1) & ~(kArenaAlign - 1);
    if (at <= slab->capacity && slab->capacity - at >= size) {
      void* p = slab_data(slab) + at;
      slab->used = at + static_cast<sUInt>(size);
      if (slab->used > slab->mapped) map_ahead(slab);
      return p;
    }
  }
  return arena_allocate_slab(arena, size);
}

// Grows the block that ends at `end` by `bytes` when it ends at the top of
// the arena and the top slab has room; false (nothing changed) otherwise.
inline bool arena_extend(sShapeArena* arena, const void* end, sUInt bytes) {
  sArenaSlab* slab = arena->current;
  if (slab == nullptr || static_cast<const sByte*>(end) != slab_data(slab) + slab->used ||
      slab->capacity - slab->used < bytes) {
    return false;
  }
  slab->used += bytes;
  if (slab->used > slab->mapped) map_ahead(slab);
  return true;
}

// The top slab is full: the next one, reused or new.
void* arena_allocate_slab(sShapeArena* arena, std::uint64_t size) {
  sArenaSlab* slab = arena->current;
  sArenaSlab* following = slab != nullptr ? slab->next : arena->first;
  if (following != nullptr && following->capacity >= size) {
    following->used = static_cast<sUInt>(size);
    map_ahead(following);
    arena->current = following;
    return slab_data(following);
  }
  std::uint64_t capacity = arena->next_capacity;
  if (capacity < size) capacity = size;
  if (capacity + sizeof(sArenaSlab) > 0xFFFFFFFFu) return nullptr;
  auto* fresh = static_cast<sArenaSlab*>(vexlor_mem_alloc_fixed(static_cast<sUInt>(capacity + sizeof(sArenaSlab))));
  if (fresh == nullptr) return nullptr;
  fresh->capacity = static_cast<sUInt>(capacity);
  fresh->used = static_cast<sUInt>(size);
  fresh->mapped = 0;
  fresh->unused = 0;
  map_ahead(fresh);
  // The new slab goes in at the top; a smaller one left behind stays after it.
  fresh->next = following;
  if (slab != nullptr) {
    slab->next = fresh;
  } else {
    arena->first = fresh;
  }
  arena->current = fresh;
  if (arena->next_capacity < kLargestSlabBytes) arena->next_capacity *= 2;
  return slab_data(fresh);
}

// Every node block holds the record and, right behind it, room for its own
// text (at least the terminator). A text held there is freed with the block;
// any other text is a separate string or, for a node of an arena, may be
// arena memory too. No foreign string can start inside a node's own block,
// so the address tells the two apart.
char16_t* own_text(sShapeItemNode* node) { return reinterpret_cast<char16_t*>(node + 1); }

// A node of an arena without a text of its own is the bare record: the
// address behind it is still inside the arena (or no block's start), where
// no separate string can begin.
sShapeItemNode* allocate_node(sShapeArena* arena, sUInt text_units, bool own) {
  if (arena != nullptr) {
    const std::uint64_t size =
        sizeof(sShapeItemNode) + (own ? (std::uint64_t{text_units} + 1) * sizeof(char16_t) : 0);
    auto* node = static_cast<sShapeItemNode*>(arena_allocate(arena, size));
    if (node == nullptr) return nullptr;
    std::memset(node, 0, sizeof(sShapeItemNode));
    return node;
  }
  const std::uint64_t size = sizeof(sShapeItemNode) + (std::uint64_t{text_units} + 1) * sizeof(char16_t);
  if (size > 0xFFFFFFFFu) return nullptr;
  auto* node = static_cast<sShapeItemNode*>(vexlor_mem_alloc_fixed(static_cast<sUInt>(size)));
  if (node == nullptr) return nullptr;
  std::memset(node, 0, sizeof(sShapeItemNode));
  own_text(node)[0] = 0;
  return node;
}

// A text for a node: from the arena when the node is one of its own, else a
// separate string.
char16_t* node_text_copy(sShapeArena* arena, sShapeItemNode* node, const char16_t* text, sUInt length) {
  if (arena == nullptr || !arena_holds(arena, node)) return alloc_string(text, length);
  auto* copy = static_cast<char16_t*>(arena_allocate(arena, (std::uint64_t{length} + 1) * sizeof(char16_t)));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text, length * sizeof(char16_t));
  copy[length] = 0;
  return copy;
}

void link_at(sShapeItemNode** cursor, sShapeItemNode* node) {
  sShapeItemNode* at = *cursor;
  if (at->type == SHN_PARENT && at->child == nullptr) {
    at->child = node;
  } else {
    at->next = node;
  }
  *cursor = node;
}

constexpr const char16_t* kNodeTypeNames[] = {u"SHN_LITERAL", u"SHN_STRING", u"SHN_SINT",
                                              u"SHN_UINT",    u"SHN_DWORD",  u"SHN_BYTE",
                                              u"SHN_FLOAT",   u"SHN_TOKEN",  u"SHN_PARENT"};

const char16_t* node_type_name(sUInt type) {
  return type < sizeof kNodeTypeNames / sizeof kNodeTypeNames[0] ? kNodeTypeNames[type] : u"???";
}

// A node of an arena gives back only a text that is a separate string; its
// own memory goes with the arena.
void free_node(sShapeItemNode* node, sShapeArena* arena) {
  debug_trace(0, u"** Freeing shape item node: %s: %s\n", node_type_name(node->type),
              node->text != nullptr ? node->text : u"");
  const bool in_arena = arena != nullptr && arena_holds(arena, node);
  char16_t* text = node->text;
  if (text != nullptr && text != own_text(node) && !(in_arena && arena_holds(arena, text))) free_string(text);
  if (!in_arena) std::free(node);
}

}  // namespace

sShapeItemNode* shape_node_create_placed(sShapeItemNode** cursor, const char16_t* text, sUInt length,
                                         sShapeArena* arena) {
  if (arena == nullptr || !adopted_holds(arena, text)) return shape_node_create_text(cursor, text, length, arena);
  if (cursor != nullptr && *cursor == nullptr) return nullptr;
  auto* node = static_cast<sShapeItemNode*>(arena_allocate(arena, sizeof(sShapeItemNode)));
  if (node == nullptr) return nullptr;
  *node = sShapeItemNode{};
  node->text = const_cast<char16_t*>(text);
  if (cursor != nullptr) link_at(cursor, node);
  return node;
}

void shape_tree_free(sShapeItemNode* node, sShapeArena* arena) {
  // Trees may be thousands of levels deep: free without recursion by
  // rotating each first child in front of its parent, so that every node
  // is freed once it has no child left.
  while (node != nullptr) {
    sShapeItemNode* child = node->child;
    if (child != nullptr) {
      node->child = child->next;
      child->next = node;
      node = child;
    } else {
      sShapeItemNode* next = node->next;
      free_node(node, arena);
      node = next;
    }
  }
}

sShapeArena* shape_arena_create() {
  auto* arena = static_cast<sShapeArena*>(vexlor_mem_alloc_fixed(sizeof(sShapeArena)));
  if (arena == nullptr) return nullptr;
  arena->first = nullptr;
  arena->current = nullptr;
  arena->next_capacity = kFirstSlabBytes;
  arena->last_hit = nullptr;
  arena->other_hit = nullptr;
  arena->adopted = nullptr;
  arena->adopted_size = 0;
  return arena;
}

void shape_arena_release(sShapeArena* arena) {
  if (arena == nullptr) return;
  for (sArenaSlab* slab = arena->first; slab != nullptr;) {
    sArenaSlab* next = slab->next;
    std::free(slab);
    slab = next;
  }
  std::free(arena->adopted);
  std::free(arena);
}

void shape_arena_adopt(sShapeArena* arena, void* block, sUInt size) {
  if (arena == nullptr) {
    std::free(block);
    return;
  }
  std::free(arena->adopted);
  arena->adopted = static_cast<sByte*>(block);
  arena->adopted_size = block != nullptr ? size : 0;
}

sShapeArenaPoint shape_arena_point(const sShapeArena* arena) {
  if (arena == nullptr) return {nullptr, 0};
  sArenaSlab* slab = arena->current;
  return {slab, slab != nullptr ? slab->used : 0};
}

sShapeItemNode* shape_node_create(sShapeItemNode** cursor, sShapeArena* arena) {
  if (cursor != nullptr && *cursor == nullptr) return nullptr;
  sShapeItemNode* node = allocate_node(arena, 0, false);
  if (node != nullptr && cursor != nullptr) link_at(cursor, node);
  return node;
}

sShapeItemNode* shape_node_create_text(sShapeItemNode** cursor, const char16_t* text, sUInt length,
                                       sShapeArena* arena) {
  if (cursor != nullptr && *cursor == nullptr) return nullptr;
  sShapeItemNode* node = allocate_node(arena, length, true);
  if (node == nullptr) return nullptr;
  char16_t* copy = own_text(node);
  // Most texts are a few units: a call to memcpy would cost more. The units
  // are copied as bytes: the binary reader hands over texts that lie in the
  // body at any offset, not aligned for char16_t.
  if (length <= 16) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (sUInt i = 0; i < length; ++i) std::memcpy(copy + i, bytes + 2 * i, sizeof(char16_t));
  } else {
    std::memcpy(copy, text, length * sizeof(char16_t));
  }
  copy[length] = 0;
  node->text = copy;
  if (cursor != nullptr) link_at(cursor, node);
  return node;
}

void shape_tree_prune(sShapeItemNode* node, int whole, sShapeArena* arena) {
  if (node == nullptr) return;
  if (whole) {
    shape_tree_free(node, arena);
    return;
  }
  shape_tree_free(node->next, arena);
  node->next = nullptr;
}

namespace {

constexpr bool is_number_type(sUInt type) { return type >= SHN_SINT && type <= SHN_FLOAT; }
constexpr sUInt number_width(sUInt type) { return type == SHN_BYTE ? 1 : 4; }

void run_store(sShapeRun* run, sUInt index, sUInt value) {
  if (run->width == 1) {
    run->data[index] = static_cast<sByte>(value);
  } else {
    std::memcpy(run->data + sUInt{4} * index, &value, 4);
  }
}

// Adds a value to a run that can take it.
bool run_append(sShapeArena* arena, sShapeItemNode* node, const sBNFSubtoken* entry, sUInt type, sUInt value) {
  sShapeRun* run = shape_run(node);
  const sUInt count = node->value;
  // A run whose values so far are each of a different entry may still be
  // learning its pattern; once an entry repeats, the pattern is fixed.
  const bool in_pattern = run->entries[count % run->period] == entry;
  if (!in_pattern && (count != run->period || run->period == kMaxRunPeriod || number_width(type) != run->width)) {
    return false;
  }
  if (!arena_extend(arena, run->data + count * run->width, run->width)) return false;
  if (!in_pattern) run->entries[run->period++] = entry;
  run_store(run, count, value);
  node->value = count + 1;
  return true;
}

// Turns a single number at the top of the arena into a run of it and the
// next value.
bool run_start(sShapeArena* arena, sShapeItemNode* node, const sBNFSubtoken* entry, sUInt type, sUInt value) {
  // The values lie as in the binary form: a byte takes one byte, any other
  // number four, and a run holds numbers of one width.
  const sUInt width = number_width(type);
  if (number_width(node->type) != width) return false;
  if (!arena_extend(arena, node + 1, sizeof(sShapeRun) + 2 * width)) return false;
  sShapeRun* run = shape_run(node);
  run->data = reinterpret_cast<sByte*>(run + 1);
  run->width = width;
  run->entries[0] = node->bnf_entry;
  run->period = 1;
  if (entry != node->bnf_entry) run->entries[run->period++] = entry;
  run_store(run, 0, node->value);
  run_store(run, 1, value);
  node->type = SHN_RUN;
  node->value = 2;
  return true;
}

}  // namespace

sShapeItemNode* shape_number_append(sShapeItemNode** cursor, const sBNFSubtoken* entry, sUInt type, sUInt value,
                                    sShapeArena* arena) {
  if (cursor == nullptr || *cursor == nullptr) return nullptr;
  sShapeItemNode* at = *cursor;
  // Only numbers whose entry gives their type can be packed: a run keeps
  // the entries, not the types.
  if (arena != nullptr && entry != nullptr && entry->def != nullptr && entry->def->type - BNFT_LITERAL == type &&
      is_number_type(type)) {
    if (at->type == SHN_RUN) {
      if (run_append(arena, at, entry, type, value)) return at;
    } else if (is_number_type(at->type) && at->text == nullptr && at->bnf_entry != nullptr) {
      if (run_start(arena, at, entry, type, value)) return at;
    }
  }
  sShapeItemNode* node = allocate_node(arena, 0, false);
  if (node == nullptr) return nullptr;
  node->type = type;
  node->value = value;
  node->bnf_entry = entry;
  link_at(cursor, node);
  return node;
}

void shape_tree_undo(sShapeItemNode** cursor, const sShapeMark& mark, sShapeArena* arena) {
  if (mark.node == nullptr) return;
  sShapeItemNode* node = mark.node;
  if (node->type == SHN_RUN) {
    // Values added since the mark lie above it in the arena: only the count
    // (and the pattern learnt from them) goes back.
    sShapeRun* run = shape_run(node);
    if (mark.run_count == 0) {
      const sUInt first = shape_run_value(node, 0);
      node->type = run->entries[0]->def->type - BNFT_LITERAL;
      node->value = first;
    } else {
      node->value = mark.run_count;
      if (run->period > mark.run_count) run->period = mark.run_count;
    }
  }
  // Marked in the arena still in use: everything made since belongs to the
  // attempt (nodes and their texts alike), so unlinking it and setting the
  // top back releases it all.
  const bool set_back = mark.arena.slab != nullptr && arena != nullptr;
  if (mark.childless_parent) {
    if (!set_back) shape_tree_free(mark.node->child, arena);
    mark.node->child = nullptr;
  }
  if (set_back) {
    mark.node->next = nullptr;
    auto* slab = static_cast<sArenaSlab*>(mark.arena.slab);
    arena->current = slab;
    slab->used = mark.arena.used;
  } else {
    shape_tree_prune(mark.node, 0, arena);
  }
  if (cursor != nullptr) *cursor = mark.node;
}

namespace {

// The text of a value node's number; kNoValueText for a node of no value type.
constexpr sUInt kNoValueText = 0xFFFFFFFFu;

sUInt format_value(const sShapeItemNode* node, char16_t* text) {
  return is_number_type(node->type) ? shape_format_number(node->type, node->value, text) : kNoValueText;
}

}  // namespace

sUInt shape_format_number(sUInt type, sUInt value, char16_t* text) { return format_value_text(type, value, text); }

char16_t* shape_node_format_value(const sShapeItemNode* node) {
  if (node == nullptr) return nullptr;
  char16_t text[kValueTextUnits];
  const sUInt length = format_value(node, text);
  return length != kNoValueText ? alloc_string(text, length) : nullptr;
}

namespace {

// Parses the node's text into its value; a text without a convertible
// prefix leaves the value as it was.
void scan_value(sShapeItemNode* node) {
  switch (node->type) {
    case SHN_SINT: {
      sInt v;
      if (scan_sint_text(node->text, &v) == kScanConverted) node->value = static_cast<sUInt>(v);
      break;
    }
    case SHN_UINT: scan_uint_text(node->text, &node->value); break;
    case SHN_DWORD:
    case SHN_BYTE: scan_hex_text(node->text, &node->value); break;
    case SHN_FLOAT: {
      float f;
      if (scan_float_text(node->text, &f) == kScanConverted) std::memcpy(&node->value, &f, sizeof f);
      break;
    }
    default: break;
  }
}

struct Normalising {
  sReporter& rep;
  const sTokenTable& tokens;
  sShapeArena* arena;
};

bool normalise_node(Normalising& n, sShapeItemNode* node, bool values_scanned) {
  if (node->type < SHN_SINT || node->type > SHN_TOKEN) return true;
  if (node->type == SHN_TOKEN) {
    // A token value must name a token definition: without one neither form
    // of the file can hold it.
    if (node->text != nullptr) {
      const sShapeTokenDef* def = tokutil_find_stoken_by_name(n.tokens, node->text);
      if (def == nullptr) {
        report_at(n.rep, kModuleShpFile, 1790, u"Token value %s names no token definition [ShpFile %d]\n", node->text, 1790);
        return false;
      }
      node->value = def->id;
    } else {
      const sShapeTokenDef* def = tokutil_find_stoken_by_id(n.tokens, node->value);
      if (def == nullptr) {
        report_at(n.rep, kModuleShpFile, 1796, u"Token value %08x is no token id [ShpFile %d]\n", node->value, 1796);
        return false;
      }
      node->text = node_text_copy(n.arena, node, def->name, wstr_len(def->name));
    }
    return node->text != nullptr;
  }
  // A number keeps its value; a text given with it when the tree was built
  // by hand is where the value comes from.
  if (node->text != nullptr && !values_scanned) scan_value(node);
  return true;
}

// A stack of the siblings still to visit, for walks without recursion.
class NodeStack {
 public:
  ~NodeStack() { std::free(items_); }
  bool push(sShapeItemNode* node) {
    if (count_ == capacity_) {
      sUInt capacity = capacity_ == 0 ? 64 : capacity_ * 2;
      auto* items = static_cast<sShapeItemNode**>(std::realloc(items_, capacity * sizeof(sShapeItemNode*)));
      if (items == nullptr) return false;
      items_ = items;
      capacity_ = capacity;
    }
    items_[count_++] = node;
    return true;
  }
  sShapeItemNode* pop() { return count_ == 0 ? nullptr : items_[--count_]; }

 private:
  sShapeItemNode** items_ = nullptr;
  sUInt count_ = 0;
  sUInt capacity_ = 0;
};

}  // namespace

namespace {

int normalise_tree(Normalising& n, sShapeItemNode* node, bool values_scanned) {
  NodeStack pending;
  while (node != nullptr) {
    if (!normalise_node(n, node, values_scanned)) return 0;
    if (node->child != nullptr) {
      if (node->next != nullptr && !pending.push(node->next)) return 0;
      node = node->child;
    } else {
      node = node->next != nullptr ? node->next : pending.pop();
    }
  }
  return 1;
}

}  // namespace

int shape_tree_normalise(sReporter& rep, const sTokenTable& tokens, sShapeItemNode* node, sShapeArena* arena) {
  Normalising n{rep, tokens, arena};
  return normalise_tree(n, node, false);
}

int shape_tree_normalise_matched(sReporter& rep, const sTokenTable& tokens, sShapeItemNode* node,
                                 sShapeArena* arena) {
  Normalising n{rep, tokens, arena};
  return normalise_tree(n, node, true);
}

namespace {

// Gives back what in a tree of the arena is not the arena's: nodes linked in
// after the read (with everything under them) and texts set as separate
// strings. Only reads the arena's nodes, which the release drops unwritten.
void free_foreign_parts(sShapeItemNode* node, sShapeArena* arena) {
  NodeStack pending;
  while (node != nullptr) {
    sShapeItemNode* next = node->next;
    sShapeItemNode* child = node->child;
    if (!arena_holds(arena, node)) {
      node->next = nullptr;
      shape_tree_free(node, arena);
      child = nullptr;
    } else if (char16_t* text = node->text;
               text != nullptr && text != own_text(node) && !adopted_holds(arena, text) && !arena_holds(arena, text)) {
      free_string(text);
    }
    if (child != nullptr) {
      if (next != nullptr && !pending.push(next)) {
        // No room to remember the siblings: free the rest node by node.
        node->child = nullptr;
        node->next = nullptr;
        shape_tree_free(child, arena);
        shape_tree_free(next, arena);
        while (sShapeItemNode* left = pending.pop()) shape_tree_free(left, arena);
        return;
      }
      node = child;
    } else {
      node = next != nullptr ? next : pending.pop();
    }
  }
}

}  // namespace

void free_shape_file(sShapeFile* file) {
  if (file == nullptr) return;
  if (file->arena != nullptr) {
    free_foreign_parts(file->first, file->arena);
  } else {
    shape_tree_free(file->first);
  }
  shape_arena_release(file->arena);
  std::free(file);
}

void shape_arena_release_source(sShapeItemNode* first, sShapeArena* arena) {
  if (arena == nullptr || arena->adopted == nullptr) return;
  // Copied only when they take at most a quarter of the body: a body of
  // little but texts stays, rather than being held twice for a moment.
  const std::uint64_t limit = arena->adopted_size / 4;
  std::uint64_t bytes = 0;
  for (int pass = 0; pass < 2; ++pass) {
    NodeStack pending;
    for (sShapeItemNode* node = first; node != nullptr;) {
      if (node->text != nullptr && adopted_holds(arena, node->text)) {
        const sUInt length = wstr_len(node->text);
        if (pass == 0) {
          bytes += (std::uint64_t{length} + 1) * sizeof(char16_t) + kArenaAlign;
          if (bytes > limit) return;
        } else {
          auto* copy = static_cast<char16_t*>(arena_allocate(arena, (std::uint64_t{length} + 1) * sizeof(char16_t)));
          if (copy == nullptr) return;  // the rest stays where it is, and so does the body
          std::memcpy(copy, node->text, (length + 1) * sizeof(char16_t));
          node->text = copy;
        }
      }
      if (node->child != nullptr) {
        if (node->next != nullptr && !pending.push(node->next)) return;
        node = node->child;
      } else {
        node = node->next != nullptr ? node->next : pending.pop();
      }
    }
  }
  std::free(arena->adopted);
  arena->adopted = nullptr;
  arena->adopted_size = 0;
}
