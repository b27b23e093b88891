// Matching a binary body against a grammar.
//
// read_token_file owns the body buffer for one read and sets body_buffer,
// body_buffer_size and read_position (just behind the body header) before
// it calls match_binary once for the root rule. No read ever leaves the
// buffer: a value, string, token id or block size that would reach past its
// end does not match.
//
// Each attempt saves read_position on the position stack and removes it
// before it returns, so the stack is empty between top-level calls. The
// stack is bounded: more than kMaxMatchDepth attempts nested in each other
// fail the whole read, which keeps deeply nested bodies from overflowing the
// machine stack.
#pragma once

#include "common/types.h"

struct sBNFTable;
struct sBNFSubtoken;
struct sShapeItemNode;

inline constexpr sUInt kNoBlockEnd = 0xFFFFFFFFu;

// Grammar elements (rules, constructs, blocks, terminals) that may be in
// progress inside each other. A block costs at least one level, usually
// two or three (its rule, a repetition or choice, the nested block). A
// level takes about 160 bytes of machine stack (x86-64, optimised), so the
// limit stays far below the 1 MB that a Windows thread starts with.
inline constexpr sUInt kMaxMatchDepth = 2000;

// The body being read, held by read_token_file for one read.
extern const sByte* body_buffer;
extern sUInt body_buffer_size;
extern sUInt read_position;

// Matches `entry` at read_position with the bytes before `block_end`
// (kNoBlockEnd: no block bound). On success the bytes are consumed and the
// nodes linked after the cursor; on failure read_position and the tree are
// as before.
int match_binary(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor, sUInt block_end);

// As match_binary (from outside any read); every number node it links
// already carries its text, and every token value the name of its id. Sets
// *tokens_resolved to 0 when some token id read on the way has no
// definition: the tree then needs shape_tree_normalise_matched, which
// reports it; else the tree is complete as it is.
int match_binary_resolving(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor, sUInt block_end,
                           int* tokens_resolved);

// Saved positions currently on the position stack (0 between reads).
sUInt binary_reader_stack_depth();
