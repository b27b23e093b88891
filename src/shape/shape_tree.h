// The shape item tree: a token file in memory, independent of its form.
//
// A node owns its text, its children and, through `next`, every sibling that
// follows it (a node carved from an arena leaves its memory to the arena).
// Grammar entries are owned by the grammar and outlive the tree.
//
// Numbers (sint, uint, dword, byte, float) that a reader links one after
// the other are packed into runs: one SHN_RUN node holds their values at
// the size of their binary form, and each value's grammar entry through a
// short repeating pattern (the values of `:ARRAY ( :float :float :float )`
// cycle through three entries). After a successful read every number has
// its value and no text (the writers format it), and every token value
// both its name and its id.
#pragma once

#include <cstdarg>
#include <cstring>

#include "bnf/bnf_model.h"
#include "common/types.h"

struct sFioShareFile;
struct sReporter;
struct sTokenTable;

enum sShapeNodeType : sUInt {
  SHN_LITERAL = 0,
  SHN_STRING = 1,
  SHN_SINT = 2,
  SHN_UINT = 3,
  SHN_DWORD = 4,
  SHN_BYTE = 5,
  SHN_FLOAT = 6,
  SHN_TOKEN = 7,
  SHN_PARENT = 8,
  SHN_RUN = 9,
};

// The pointers first and the two numbers together: 40 bytes on a 64-bit
// target, and a large model holds millions of nodes.
struct sShapeItemNode {
  sShapeItemNode* next;
  char16_t* text;
  sShapeItemNode* child;
  const sBNFSubtoken* bnf_entry;
  sUInt type;
  sUInt value;  // signed for SHN_SINT, IEEE single bits for SHN_FLOAT
};

// A run's record, right behind its node. The node's `value` is the number
// of values, its `bnf_entry` the first value's entry.
inline constexpr sUInt kMaxRunPeriod = 8;
struct sShapeRun {
  sByte* data;    // the values, `width` bytes each, in the host's order
  sUInt period;   // value i has the entry entries[i % period]
  sUInt width;    // 1 in a run of bytes, 4 in a run of other numbers
  const sBNFSubtoken* entries[kMaxRunPeriod];
};

inline sShapeRun* shape_run(sShapeItemNode* node) { return reinterpret_cast<sShapeRun*>(node + 1); }
inline const sShapeRun* shape_run(const sShapeItemNode* node) { return reinterpret_cast<const sShapeRun*>(node + 1); }
inline sUInt shape_run_count(const sShapeItemNode* node) { return node->value; }
inline const sBNFSubtoken* shape_run_entry(const sShapeItemNode* node, sUInt index) {
  const sShapeRun* run = shape_run(node);
  return run->entries[index % run->period];
}
// The node type (SHN_SINT ... SHN_FLOAT) of value `index`.
inline sUInt shape_run_type(const sShapeItemNode* node, sUInt index) {
  return shape_run_entry(node, index)->def->type - BNFT_LITERAL;
}
inline sUInt shape_run_value(const sShapeItemNode* node, sUInt index) {
  const sShapeRun* run = shape_run(node);
  if (run->width == 1) return run->data[index];
  sUInt value;
  std::memcpy(&value, run->data + sUInt{4} * index, 4);
  return value;
}

// The text the text form gives a number of the given node type; returns
// its length (at most kValueTextUnits - 1), or 0 for a type of no number.
sUInt shape_format_number(sUInt type, sUInt value, char16_t* text);

// The body header, 16 bytes at the start of every body (in a UTF-16
// container the low bytes of its first 16 units):
//   0-3 "TORV"   4 format digit (at most "0")   5 file type   6 type version
//   7 form: "t" text (UTF-16 tokens follow) or "b" binary   8-15 not read
inline constexpr sUInt kBodyHeaderBytes = 16;
inline constexpr sUInt kBodyFormatByte = 4;
inline constexpr sUInt kBodyTypeByte = 5;
inline constexpr sUInt kBodyVersionByte = 6;
inline constexpr sUInt kBodyFormByte = 7;
inline constexpr sByte kTextForm = 't';
inline constexpr sByte kBinaryForm = 'b';

// A loaded file's nodes, and the texts they were given while it was read,
// are carved from slabs of its arena and released with it in one go. A
// failed attempt of a reader gives its nodes back by setting the arena's top
// back (its nodes are always the most recent ones).
struct sShapeArena;

struct sShapeFile {
  sShapeItemNode* first;
  sByte header[kBodyHeaderBytes];
  // The entry by which the grammar's root rule was matched; nodes matched by
  // the root itself refer to it, so it lives as long as the tree.
  sBNFSubtoken root_entry;
  sShapeArena* arena;
  // Read from a JSON document (the header's form byte then says "t").
  bool json_source;
};

// An empty arena (no slab yet), or null when memory is exhausted.
sShapeArena* shape_arena_create();
// Releases every slab. Nodes of the arena that are still linked in some tree
// must not be used any more; free_shape_file walks its tree first.
void shape_arena_release(sShapeArena* arena);
// Gives the arena a heap block to release with it (a text body whose units
// node texts point into); one block per arena.
void shape_arena_adopt(sShapeArena* arena, void* block, sUInt size);

// A point of an arena, for setting its top back.
struct sShapeArenaPoint {
  void* slab;
  sUInt used;
};
sShapeArenaPoint shape_arena_point(const sShapeArena* arena);

// The node operations take the arena nodes are made in (null: separate heap
// blocks). A tree is freed with the arena its nodes came from.
//
// Creates a cleared node. With a cursor it is linked after the cursor's node
// (as first child of a childless parent, else as its next sibling) and the
// cursor moves to it; a cursor designating nothing creates nothing.
sShapeItemNode* shape_node_create(sShapeItemNode** cursor, sShapeArena* arena = nullptr);
// As shape_node_create, with a copy of `length` units of `text` (plus a
// terminator) as the node's text, held in the node's own block: one
// allocation per node. The text is freed with the node.
sShapeItemNode* shape_node_create_text(sShapeItemNode** cursor, const char16_t* text, sUInt length,
                                       sShapeArena* arena = nullptr);
// As shape_node_create_text for a text that stays where it is: a
// terminated text inside the block the arena adopted becomes the node's
// text as it is; any other is copied.
sShapeItemNode* shape_node_create_placed(sShapeItemNode** cursor, const char16_t* text, sUInt length,
                                         sShapeArena* arena = nullptr);
// Links a number after the cursor's node: added to the run the cursor
// designates when it can take it (the run lies at the top of the arena and
// the entry fits its pattern), else as a node of its own, which the next
// number may turn into a run. `type` is the entry's (SHN_SINT ... SHN_FLOAT).
// Without an arena every number is a node of its own. Null when memory is
// exhausted or the cursor designates nothing.
sShapeItemNode* shape_number_append(sShapeItemNode** cursor, const sBNFSubtoken* entry, sUInt type, sUInt value,
                                    sShapeArena* arena);
void shape_tree_free(sShapeItemNode* node, sShapeArena* arena = nullptr);
void shape_tree_prune(sShapeItemNode* node, int whole, sShapeArena* arena = nullptr);
// Undoing a failed attempt. A reader marks the node its cursor designates
// before the attempt; shape_tree_undo then removes everything the attempt
// linked and sets the cursor back. Unlike a plain prune it also removes the
// children linked under a parent that was childless when it was marked, so
// the next alternative is linked as that parent's first child again.
// With an arena, the mark also holds its top: every node made after the
// mark belongs to the attempt, so undo releases them all at once.
// A run designated by the mark keeps the values it had then (none: it was a
// single number and becomes one again).
struct sShapeMark {
  sShapeItemNode* node;
  bool childless_parent;
  sUInt run_count;
  sShapeArenaPoint arena;
};
inline sShapeMark shape_tree_mark(sShapeItemNode* node, const sShapeArena* arena = nullptr) {
  return {node, node != nullptr && node->type == SHN_PARENT && node->child == nullptr,
          node != nullptr && node->type == SHN_RUN ? node->value : 0, shape_arena_point(arena)};
}
void shape_tree_undo(sShapeItemNode** cursor, const sShapeMark& mark, sShapeArena* arena = nullptr);

// Gives every number node built with a text its number, and every token
// value both its name and its id. Fails (0) when a token value names no
// token definition.
int shape_tree_normalise(sReporter& rep, const sTokenTable& tokens, sShapeItemNode* node,
                         sShapeArena* arena = nullptr);
// As shape_tree_normalise for a tree from one of the readers, which give
// every number its value as they match: only token values are worked out.
int shape_tree_normalise_matched(sReporter& rep, const sTokenTable& tokens, sShapeItemNode* node,
                                 sShapeArena* arena = nullptr);
char16_t* shape_node_format_value(const sShapeItemNode* node);

// Once a text body is read, its tree's texts that still point into it are
// copied into the arena and the body is released, when they are few beside
// it: the body is the largest block a conversion holds.
void shape_arena_release_source(sShapeItemNode* first, sShapeArena* arena);

int read_body_header(sFioShareFile* stream, sByte* header);
void free_shape_file(sShapeFile* file);

// The trace hook of the readers and writers: discards its input. Defined
// here so that the calls on hot paths cost nothing.
inline void debug_trace(int /*level*/, const char16_t* /*format*/, ...) {}
