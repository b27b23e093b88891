#include "common/memory.h"

#include <cstdlib>

void* vexlor_mem_alloc_fixed(sUInt size) { return std::malloc(size == 0 ? 1 : size); }
