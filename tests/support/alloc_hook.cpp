#include "support/alloc_hook.h"

#include <cstdlib>

#include "common/memory.h"

namespace {
long fail_countdown = -1;
}

void vexlor_mem_fail_after(long count) { fail_countdown = count; }

namespace {
bool fail_now() {
  if (fail_countdown < 0) return false;
  if (fail_countdown == 0) {
    fail_countdown = -1;
    return true;
  }
  --fail_countdown;
  return false;
}
}  // namespace

void* vexlor_mem_alloc_fixed(sUInt size) { return fail_now() ? nullptr : std::malloc(size == 0 ? 1 : size); }

void* vexlor_mem_resize(void* block, sUInt size) {
  return fail_now() ? nullptr : std::realloc(block, size == 0 ? 1 : size);
}
