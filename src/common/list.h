// Circular doubly linked list with a pool of recycled nodes.
//
// A list is a pointer to its head node, whose `data` points to the head
// itself. The head's `next` is the first payload node and its `prev` the last.
// A list never owns its payloads: whoever fills a list releases the payloads
// before destroying it. Released nodes go to a module-wide pool of at most
// kListPoolLimit nodes.
#pragma once

#include "common/types.h"

struct sListNode {
  sListNode* next;
  sListNode* prev;
  void* data;
};

inline constexpr sUInt kListPoolLimit = 50;

sListNode* list_create();
sListNode* list_add(sListNode* list, void* payload);       // at the front
sListNode* list_add_last(sListNode* list, void* payload);  // at the end
void list_remove(sListNode* node);
void list_destroy(sListNode* list);

// Number of nodes currently held by the pool (for tests).
sUInt list_pool_count();
