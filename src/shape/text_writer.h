// Writing a shape item tree as a UTF-16 text body.
//
// The layout is fixed so that written files are always the same: CR LF line
// ends, one TAB per depth, every block on a line of its own, values after
// one space, long or odd texts quoted and cut into pieces joined with "+".
// Every text is written so that the tokenizer reads it back as the same
// single token. Failures return 0; a failed write leaves in the output what
// had been written before it.
#pragma once

#include "common/types.h"

struct sConversion;
struct sFioShareFile;
struct sReporter;
struct sShapeFile;
struct sShapeItemNode;

// Depths from this one on get no indentation (and a report).
inline constexpr sUInt kMaxIndentDepth = 1024;
// Parents nested in each other that the writer follows (about 130 bytes of
// stack each); deeper trees are refused rather than risking the machine
// stack. Trees read from a binary body never come near it: each nested
// parent costs the reader at least one of its kMaxMatchDepth levels.
inline constexpr sUInt kMaxTextNesting = 2048;
// Longest item text written.
inline constexpr sUInt kMaxItemUnits = 65536;

int write_text_file(sConversion& conv, const char16_t* path, sShapeFile* file, sShapeItemNode* first, sUInt comp);
// The body (body header and every block from `first` on) into an open
// write stream made with the UTF-16 header; the caller closes it.
int write_text_stream(sConversion& conv, sFioShareFile* stream, sShapeFile* file, sShapeItemNode* first);
int write_text_parent(sReporter& rep, sFioShareFile* stream, sShapeItemNode* parent, sUInt depth);

// One non-parent node with its separator. `in_array` tells that the parent
// is an array (at depth 0 its first item is set off by a space); `bare`
// keeps a block's own bracket node unquoted. `column` is the parent's
// line-width counter.
int write_text_item(sReporter& rep, sFioShareFile* stream, const sShapeItemNode* node, sUInt depth, int first, int after_block,
                    int balance, sUInt* column, int in_array, int bare);

// The line-width step before a word or piece of width n: breaks the line
// when `column` reaches 1024.
int text_wrap(sReporter& rep, sFioShareFile* stream, sUInt n, sUInt depth, sUInt* column);

