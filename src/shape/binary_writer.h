// Writing a shape item tree as a binary body.
#pragma once

#include "common/types.h"

struct sBNFTable;
struct sConversion;
struct sFioShareFile;
struct sShapeFile;
struct sShapeItemNode;

int write_binary_file(sConversion& conv, const char16_t* path, sBNFTable* table, sShapeFile* file, sShapeItemNode* first, sUInt comp);
// The body (body header and every block from `first` on) into an open
// write stream; the caller closes it.
int write_binary_stream(sConversion& conv, sFioShareFile* stream, sBNFTable* table, sShapeFile* file,
                        sShapeItemNode* first);
int write_binary_parent(sConversion& conv, sFioShareFile* stream, sBNFTable* table, sShapeItemNode* parent);
