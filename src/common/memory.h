// The allocation routine through which records are obtained.
//
// Blocks are plain, uninitialised heap blocks released with std::free.
// A null result means memory is exhausted; callers report and unwind.
// The routine has a file of its own so that a test program can put an
// allocator that fails on purpose in its place at link time.
#pragma once

#include "common/types.h"

void* vexlor_mem_alloc_fixed(sUInt size);
// Grows or shrinks a block from it (null: a new one), keeping its bytes; a
// null result leaves the block as it was.
void* vexlor_mem_resize(void* block, sUInt size);
