// The allocation routine through which records are obtained.
//
// Blocks are plain, uninitialised heap blocks released with std::free.
// A null result means memory is exhausted; callers report and unwind.
#pragma once

#include "common/types.h"

void* vexlor_mem_alloc_fixed(sUInt size);

// Test hook: make the next `count` allocations succeed and the one after fail.
// A negative count switches failure injection off (the default).
void vexlor_mem_fail_after(long count);
