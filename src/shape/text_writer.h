// Writing a shape item tree as a UTF-16 text body.
#pragma once

#include "common/types.h"

struct sFioShareFile;
struct sShapeFile;
struct sShapeItemNode;

int write_text_file(const char16_t* path, sShapeFile* file, sShapeItemNode* first, sUInt comp);
int write_text_parent(sFioShareFile* stream, sShapeItemNode* parent, sUInt depth);
const char16_t* spaces(sUInt depth);
