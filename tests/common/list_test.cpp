#include "common/list.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/alloc_hook.h"

namespace {

// Payloads are the addresses of these values (heap storage, like real
// payloads).
std::vector<long> values(64);

std::vector<long> payloads(sListNode* list) {
  std::vector<long> out;
  for (sListNode* n = list->next; n != list; n = n->next) out.push_back(*static_cast<long*>(n->data));
  return out;
}

void* p(long v) {
  values[v] = v;
  return &values[v];
}

TEST(List, AddPutsInFrontAndAddLastAtTheEnd) {
  sListNode* front = list_create();
  sListNode* back = list_create();
  for (long v : {1, 2, 3}) {
    ASSERT_NE(list_add(front, p(v)), nullptr);
    ASSERT_NE(list_add_last(back, p(v)), nullptr);
  }
  EXPECT_EQ(payloads(front), (std::vector<long>{3, 2, 1}));
  EXPECT_EQ(payloads(back), (std::vector<long>{1, 2, 3}));
  // The ring is intact in both directions.
  EXPECT_EQ(back->prev->data, p(3));
  EXPECT_EQ(back->prev->prev->data, p(2));
  list_destroy(front);
  list_destroy(back);
}

TEST(List, DestroyIgnoresPayloadNodesAndNull) {
  sListNode* list = list_create();
  sListNode* node = list_add(list, p(7));
  list_destroy(node);  // not a head: nothing happens
  EXPECT_EQ(payloads(list), std::vector<long>{7});
  list_destroy(nullptr);
  list_remove(nullptr);
  list_destroy(list);
}

TEST(List, FailedAllocationLeavesTheListAsItWas) {
  vexlor_mem_fail_after(0);
  EXPECT_EQ(list_create(), nullptr);
  sListNode* list = list_create();
  ASSERT_NE(list, nullptr);
  ASSERT_NE(list_add(list, p(1)), nullptr);
  for (int front = 0; front <= 1; ++front) {
    vexlor_mem_fail_after(0);
    EXPECT_EQ(front ? list_add(list, p(2)) : list_add_last(list, p(2)), nullptr);
    EXPECT_EQ(payloads(list), std::vector<long>{1});
    EXPECT_EQ(list->prev->data, p(1));
  }
  list_destroy(list);
}

}  // namespace
