// Empties the list node pool for its lifetime, so that every list node the
// code under test needs comes from the allocator (and can be made to fail).
#pragma once

#include <vector>

#include "common/list.h"

namespace vxtest {

class PoolDrain {
 public:
  PoolDrain() {
    while (list_pool_count() > 0) held_.push_back(list_create());
  }
  ~PoolDrain() {
    for (sListNode* l : held_) list_destroy(l);
  }
  PoolDrain(const PoolDrain&) = delete;
  PoolDrain& operator=(const PoolDrain&) = delete;

 private:
  std::vector<sListNode*> held_;
};

}  // namespace vxtest
