#include "support/alloc_hook.h"

#include <cstdlib>

#include "common/memory.h"

namespace {
long fail_countdown = -1;
}

void vexlor_mem_fail_after(long count) { fail_countdown = count; }

void* vexlor_mem_alloc_fixed(sUInt size) {
  if (fail_countdown >= 0) {
    if (fail_countdown == 0) {
      fail_countdown = -1;
      return nullptr;
    }
    --fail_countdown;
  }
  return std::malloc(size == 0 ? 1 : size);
}
