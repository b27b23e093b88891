#include "common/list.h"

#include <cstdlib>

#include "common/memory.h"

namespace {

sListNode* take_node() {
  auto* node = static_cast<sListNode*>(vexlor_mem_alloc_fixed(sizeof(sListNode)));
  if (node != nullptr) node->data = nullptr;
  return node;
}

void recycle_node(sListNode* node) { std::free(node); }

}  // namespace

sListNode* list_create() {
  sListNode* head = take_node();
  if (head == nullptr) return nullptr;
  head->data = head;
  head->next = head;
  head->prev = head;
  return head;
}

sListNode* list_add(sListNode* list, void* payload) {
  sListNode* node = take_node();
  if (node == nullptr) return nullptr;
  node->data = payload;
  list->next->prev = node;
  node->next = list->next;
  node->prev = list;
  list->next = node;
  return node;
}

sListNode* list_add_last(sListNode* list, void* payload) {
  sListNode* node = take_node();
  if (node == nullptr) return nullptr;
  node->data = payload;
  list->prev->next = node;
  node->next = list;
  node->prev = list->prev;
  list->prev = node;
  return node;
}

void list_remove(sListNode* node) {
  if (node == nullptr) return;
  node->prev->next = node->next;
  node->next->prev = node->prev;
  recycle_node(node);
}

void list_destroy(sListNode* list) {
  if (list == nullptr || list->data != list) return;
  sListNode* node = list->next;
  while (node != list) {
    sListNode* next = node->next;
    list_remove(node);
    node = next;
  }
  recycle_node(list);
}
