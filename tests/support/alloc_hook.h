// Allocation-failure injection for the unit test programs.
//
// alloc_hook.cpp defines vexlor_mem_alloc_fixed, so a test program linked
// with it takes this allocator instead of the library's.
#pragma once

// The next `count` allocations succeed and the one after fails; then
// allocations succeed again. A negative count switches injection off (the
// default).
void vexlor_mem_fail_after(long count);
