// Circular doubly linked list.
//
// A list is a pointer to its head node, whose `data` points to the head
// itself. The head's `next` is the first payload node and its `prev` the last.
// A list never owns its payloads: whoever fills a list releases the payloads
// before destroying it. Nodes are heap blocks of their own.
#pragma once

#include "common/types.h"

struct sListNode {
  sListNode* next;
  sListNode* prev;
  void* data;
};

sListNode* list_create();
sListNode* list_add(sListNode* list, void* payload);       // at the front
sListNode* list_add_last(sListNode* list, void* payload);  // at the end
void list_remove(sListNode* node);
void list_destroy(sListNode* list);
