#include "common/list.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/memory.h"

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

TEST(List, PoolKeepsFiftyNodesAndServesThemFirst) {
  // Drain whatever earlier tests left on the pool.
  std::vector<sListNode*> drain;
  while (list_pool_count() > 0) drain.push_back(list_create());
  sListNode* list = list_create();
  for (long i = 1; i < 60; ++i) list_add_last(list, p(i));
  list_destroy(list);  // 60 nodes: 50 pooled, 10 back to the heap
  EXPECT_EQ(list_pool_count(), 50u);

  // The next 50 requests come from the pool: no heap allocation is needed.
  vexlor_mem_fail_after(0);
  std::vector<sListNode*> heads;
  for (int i = 0; i < 50; ++i) {
    sListNode* h = list_create();
    ASSERT_NE(h, nullptr) << i;
    heads.push_back(h);
  }
  EXPECT_EQ(list_create(), nullptr);  // the pool is empty and the heap refuses
  vexlor_mem_fail_after(0);
  EXPECT_EQ(list_add(heads[0], p(1)), nullptr);
  EXPECT_TRUE(payloads(heads[0]).empty());  // unchanged after the failure
  vexlor_mem_fail_after(-1);
  for (auto* h : heads) list_destroy(h);
  for (auto* h : drain) list_destroy(h);
}

}  // namespace
