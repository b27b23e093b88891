// Matching a binary body against a grammar.
#pragma once

#include "common/types.h"

struct sBNFTable;
struct sBNFSubtoken;
struct sShapeItemNode;

inline constexpr sUInt kNoBlockEnd = 0xFFFFFFFFu;

// The body being read, held by read_token_file for one read.
extern const sByte* body_buffer;
extern sUInt body_buffer_size;
extern sUInt read_position;

int match_binary(sBNFTable* table, const sBNFSubtoken* entry, sShapeItemNode** cursor, sUInt block_end);
