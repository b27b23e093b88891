#include "common/memory.h"

#include <cstdlib>

void* vexlor_mem_alloc_fixed(sUInt size) { return std::malloc(size == 0 ? 1 : size); }

void* vexlor_mem_resize(void* block, sUInt size) { return std::realloc(block, size == 0 ? 1 : size); }
